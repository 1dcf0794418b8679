#include "access/jetreader.h"

#include "keeping/diarycheck.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <mutex>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace jet {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("access", text);
}

// Longer texts than this (in UTF-8 bytes) are refused rather than cut: the
// diary takes a million characters at most.
constexpr size_t kTextBytes = 4 * 1000000 + 16;
// What the parent takes from the child at most: years of days are some
// megabytes; anything near this is not a diary.
constexpr qsizetype kMaxTransfer = qsizetype(1) << 30;

// ---- what the child sends: frames of a kind byte, a length, the payload

enum Frame : unsigned char {
    FrameVersion = 'V',
    FrameEncoding = 'E',
    FrameTableName = 'N',
    FrameTableStart = 'S',
    FrameRow = 'R',
    FrameFailure = 'X',
    FrameDone = 'D',
};

enum Failure : unsigned char {
    FailOpen = 1,
    FailEncrypted,
    FailPassword,
    FailCatalogue,
    FailTable,
    FailRow,
    FailTextTooLong,
    FailRowCount,
};

enum Tag : unsigned char { TagNull, TagText, TagInteger, TagDouble, TagDate, TagBool, TagBytes };

class Writer
{
public:
    explicit Writer(int fd)
        : m_fd(fd)
    {}
    void frame(Frame kind, const QByteArray &payload)
    {
        m_buffer.append(char(kind));
        appendU32(m_buffer, quint32(payload.size()));
        m_buffer.append(payload);
        if (m_buffer.size() > 256 * 1024)
            flush();
    }
    void flush()
    {
        qsizetype done = 0;
        while (done < m_buffer.size()) {
            const ssize_t n = ::write(m_fd, m_buffer.constData() + done, size_t(m_buffer.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ::_exit(3); // the parent has gone
            done += n;
        }
        m_buffer.clear();
    }
    static void appendU32(QByteArray &out, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    }
    static void appendBytes(QByteArray &out, const char *data, size_t size)
    {
        appendU32(out, quint32(size));
        out.append(data, qsizetype(size));
    }

private:
    int m_fd;
    QByteArray m_buffer;
};

[[noreturn]] void childFail(Writer &w, Failure kind, const QByteArray &detail = {})
{
    QByteArray p;
    p.append(char(kind));
    Writer::appendBytes(p, detail.constData(), size_t(detail.size()));
    w.frame(FrameFailure, p);
    w.flush();
    ::_exit(0);
}

// One field of the row just fetched, appended to `out`; false when the
// field's place lies outside the page (a damaged row).
bool appendValue(MdbHandle *mdb, MdbColumn *col, const MdbField &f, QByteArray &out, bool *tooLong)
{
    const int page = int(mdb->fmt->pg_size);
    if (col->col_type == MDB_BOOL) {
        // Jet keeps a Yes/No in the null mask: a set bit is Yes.
        out.append(char(TagBool));
        out.append(char(f.is_null ? 0 : 1));
        return true;
    }
    if (f.is_null || col->col_type == MDB_OLE) {
        out.append(char(TagNull));
        return true;
    }
    if (f.start < 0 || f.siz < 0 || f.start > page || f.siz > page - f.start)
        return false;
    const unsigned char *at = mdb->pg_buf + f.start;
    auto need = [&](int n) { return f.siz >= n; };
    switch (col->col_type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT: {
        const int n = col->col_type == MDB_BYTE ? 1 : col->col_type == MDB_INT ? 2 : 4;
        if (!need(n))
            return false;
        qint64 v = 0;
        if (n == 1) {
            v = at[0];
        } else if (n == 2) {
            v = qint16(quint16(at[0] | (at[1] << 8)));
        } else {
            v = qint32(quint32(at[0]) | (quint32(at[1]) << 8) | (quint32(at[2]) << 16) | (quint32(at[3]) << 24));
        }
        out.append(char(TagInteger));
        out.append(reinterpret_cast<const char *>(&v), 8);
        return true;
    }
    case MDB_FLOAT: {
        if (!need(4))
            return false;
        float fl = 0;
        std::memcpy(&fl, at, 4);
        const double d = fl;
        out.append(char(TagDouble));
        out.append(reinterpret_cast<const char *>(&d), 8);
        return true;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
        if (!need(8))
            return false;
        out.append(char(col->col_type == MDB_DATETIME ? TagDate : TagDouble));
        out.append(reinterpret_cast<const char *>(at), 8);
        return true;
    }
    case MDB_BINARY:
        out.append(char(TagBytes));
        Writer::appendBytes(out, reinterpret_cast<const char *>(at), size_t(f.siz));
        return true;
    default:
        break;
    }
    char *text = nullptr;
    if (col->col_type == MDB_MONEY) {
        if (!need(8))
            return false;
        text = mdb_money_to_string(mdb, f.start);
    } else if (col->col_type == MDB_NUMERIC) {
        if (!need(17))
            return false;
        text = mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec);
    } else {
        if ((col->col_type == MDB_REPID && !need(16)))
            return false;
        // libmdb converts into a buffer of the bind size, allocated for every
        // value: a small one for Text, one fitted to a memo's stored length,
        // and the largest only where that was not enough.
        size_t bind = 4096;
        if (col->col_type == MDB_MEMO && need(4)) {
            const quint32 stored = quint32(at[0]) | (quint32(at[1]) << 8) | (quint32(at[2]) << 16);
            bind = std::min(kTextBytes, size_t(stored) * 3 + 64);
        }
        for (;;) {
            mdb_set_bind_size(mdb, bind);
            text = mdb_col_to_string(mdb, mdb->pg_buf, f.start, col->col_type, f.siz);
            const size_t got = text ? std::strlen(text) : 0;
            if (got + 8 < bind || bind >= kTextBytes)
                break;
            g_free(text);
            bind = kTextBytes;
        }
    }
    const size_t len = text ? std::strlen(text) : 0;
    if (len + 8 >= kTextBytes)
        *tooLong = true;
    out.append(char(TagText));
    Writer::appendBytes(out, text ? text : "", len);
    g_free(text);
    return true;
}

// The password field of the header page that mdb_open leaves decrypted in
// the handle's buffer (nothing else has been read yet): Jet 3 keeps 20 bytes
// at 0x42, zeros without a password; Jet 4 keeps 40 there, masked further
// with the whole part of the file's creation date (the double at 0x72).
// Access 2007 files and later keep their password elsewhere.
bool headerHasPassword(const MdbHandle *mdb)
{
    const unsigned char *h = mdb->pg_buf;
    if (mdb->f->jet_version == MDB_VER_JET3) {
        for (int i = 0; i < 20; ++i) {
            if (h[0x42 + i] != 0)
                return true;
        }
        return false;
    }
    if (mdb->f->jet_version != MDB_VER_JET4)
        return false;
    double created = 0;
    std::memcpy(&created, h + 0x72, 8);
    const qint32 whole = std::isfinite(created) && std::fabs(created) < 2.0e9 ? qint32(created) : 0;
    unsigned char mask[4];
    std::memcpy(mask, &whole, 4);
    for (int i = 0; i < 40; ++i) {
        if ((h[0x42 + i] ^ mask[i % 4]) != 0)
            return true;
    }
    return false;
}

[[noreturn]] void runChild(const QByteArray &path, const QByteArray &encoding, const QList<QByteArray> &wanted, int fd,
                           int limitMs)
{
    // Only this process's own descriptors: nothing to a terminal, libmdb's
    // warnings go nowhere.
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    // A backstop under the parent's clock.
    const rlimit cpu{rlim_t(limitMs / 1000 + 2), rlim_t(limitMs / 1000 + 3)};
    ::setrlimit(RLIMIT_CPU, &cpu);
    ::unsetenv("MDBICONV");
    ::unsetenv("MDB_ICONV");
    if (!encoding.isEmpty())
        ::setenv("MDB_JET3_CHARSET", encoding.constData(), 1);

    Writer w(fd);
    MdbHandle *mdb = mdb_open(path.constData(), MDB_NOFLAGS);
    if (!mdb)
        childFail(w, FailOpen);
    {
        QByteArray p;
        Writer::appendU32(p, quint32(mdb->f->jet_version));
        w.frame(FrameVersion, p);
    }
    const bool password = headerHasPassword(mdb);
    QByteArray used = "UTF-16";
    if (mdb->f->jet_version == MDB_VER_JET3) {
        used = encoding;
        if (used.isEmpty()) {
            // The code page the file was written in, where iconv knows it.
            used = "CP1252";
            const int cp = mdb->f->code_page;
            if (cp > 0 && cp != 1252) {
                const QByteArray name = "CP" + QByteArray::number(cp);
                const iconv_t probe = iconv_open("UTF-8", name.constData());
                if (probe != iconv_t(-1)) {
                    iconv_close(probe);
                    used = name;
                }
            }
            ::setenv("MDB_JET3_CHARSET", used.constData(), 1);
            mdb_iconv_close(mdb);
            mdb_iconv_init(mdb);
        }
    }
    w.frame(FrameEncoding, used);
    if (mdb->f->db_key != 0)
        childFail(w, FailEncrypted);
    if (password)
        childFail(w, FailPassword);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        childFail(w, FailCatalogue);

    // libmdb reads past the end as the end: a table whose definition lies
    // beyond the file's last page means the file was cut short.
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0 || mdb->num_catalog == 0)
        childFail(w, FailCatalogue);
    const quint64 pages = quint64(st.st_size) / quint64(mdb->fmt->pg_size);
    QList<MdbCatalogEntry *> chosen;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && entry->table_pg >= pages)
            childFail(w, FailCatalogue);
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
            continue;
        const QByteArray name(entry->object_name, qsizetype(strnlen(entry->object_name, sizeof entry->object_name)));
        QByteArray p;
        Writer::appendBytes(p, name.constData(), size_t(name.size()));
        w.frame(FrameTableName, p);
        for (const QByteArray &want : wanted) {
            if (QString::fromUtf8(want).compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0 &&
                !chosen.contains(entry))
                chosen << entry;
        }
    }

    for (MdbCatalogEntry *entry : chosen) {
        const QByteArray name(entry->object_name, qsizetype(strnlen(entry->object_name, sizeof entry->object_name)));
        MdbTableDef *table = mdb_read_table(entry);
        if (!table || !mdb_read_columns(table) || table->num_cols == 0 || table->num_cols > MDB_MAX_COLS)
            childFail(w, FailTable, name);
        QByteArray start;
        Writer::appendBytes(start, name.constData(), size_t(name.size()));
        Writer::appendU32(start, table->num_cols);
        for (unsigned int c = 0; c < table->num_cols; ++c) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, c));
            const QByteArray colName(col->name, qsizetype(strnlen(col->name, sizeof col->name)));
            Writer::appendBytes(start, colName.constData(), size_t(colName.size()));
            Writer::appendU32(start, quint32(col->col_type));
        }
        w.frame(FrameTableStart, start);

        QList<MdbField> fields(table->num_cols);
        mdb_rewind_table(table);
        quint32 rowNumber = 0;
        while (mdb_fetch_row(table)) {
            ++rowNumber;
            // The row just fetched is the one before the table's cursor, on
            // the page in the handle's buffer; cracked again here because the
            // fetch itself keeps no NULL apart from an empty text.
            int rowStart = 0;
            size_t rowSize = 0;
            if (table->cur_row == 0 || mdb_find_row(mdb, int(table->cur_row - 1), &rowStart, &rowSize) != 0)
                childFail(w, FailRow, name + ' ' + QByteArray::number(rowNumber));
            rowStart &= 0x1fff;
            const int cracked = mdb_crack_row(table, rowStart, rowSize, fields.data());
            if (cracked < int(table->num_cols))
                childFail(w, FailRow, name + ' ' + QByteArray::number(rowNumber));
            QByteArray row;
            Writer::appendU32(row, table->num_cols);
            QList<const MdbField *> byColumn(table->num_cols, nullptr);
            for (unsigned int i = 0; i < table->num_cols; ++i) {
                if (fields[i].colnum >= 0 && unsigned(fields[i].colnum) < table->num_cols)
                    byColumn[fields[i].colnum] = &fields[i];
            }
            for (unsigned int c = 0; c < table->num_cols; ++c) {
                auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, c));
                bool tooLong = false;
                if (!byColumn[c] || !appendValue(mdb, col, *byColumn[c], row, &tooLong))
                    childFail(w, FailRow, name + ' ' + QByteArray::number(rowNumber));
                if (tooLong)
                    childFail(w, FailTextTooLong, name + ' ' + QByteArray::number(rowNumber) + ' ' + col->name);
            }
            w.frame(FrameRow, row);
        }
        // Jet keeps each table's row count in its definition; fewer rows
        // found means pages were lost (libmdb takes a missing page as the end).
        if (rowNumber != table->num_rows)
            childFail(w, FailRowCount,
                      name + ' ' + QByteArray::number(table->num_rows) + ' ' + QByteArray::number(rowNumber));
        mdb_free_tabledef(table);
    }
    w.frame(FrameDone, {});
    w.flush();
    ::_exit(0);
}

// ---- the parent's side

class Reader
{
public:
    explicit Reader(const QByteArray &data)
        : m_data(data)
    {}
    bool u8(unsigned char *v)
    {
        if (m_at + 1 > m_data.size())
            return false;
        *v = static_cast<unsigned char>(m_data[m_at++]);
        return true;
    }
    bool u32(quint32 *v)
    {
        if (m_at + 4 > m_data.size())
            return false;
        quint32 out = 0;
        for (int i = 0; i < 4; ++i)
            out |= quint32(static_cast<unsigned char>(m_data[m_at + i])) << (8 * i);
        m_at += 4;
        *v = out;
        return true;
    }
    bool raw(void *to, qsizetype n)
    {
        if (m_at + n > m_data.size())
            return false;
        std::memcpy(to, m_data.constData() + m_at, size_t(n));
        m_at += n;
        return true;
    }
    bool bytes(QByteArray *v)
    {
        quint32 n = 0;
        if (!u32(&n) || m_at + qsizetype(n) > m_data.size())
            return false;
        *v = m_data.mid(m_at, n);
        m_at += n;
        return true;
    }
    bool atEnd() const { return m_at == m_data.size(); }

private:
    const QByteArray &m_data;
    qsizetype m_at = 0;
};

ColumnType columnType(int mdbType)
{
    switch (mdbType) {
    case MDB_BOOL:
        return ColumnType::Boolean;
    case MDB_BYTE:
        return ColumnType::Byte;
    case MDB_INT:
        return ColumnType::Integer;
    case MDB_LONGINT:
        return ColumnType::Long;
    case MDB_MONEY:
        return ColumnType::Currency;
    case MDB_FLOAT:
        return ColumnType::Single;
    case MDB_DOUBLE:
        return ColumnType::Double;
    case MDB_DATETIME:
        return ColumnType::DateTime;
    case MDB_BINARY:
        return ColumnType::Binary;
    case MDB_TEXT:
        return ColumnType::Text;
    case MDB_OLE:
        return ColumnType::Ole;
    case MDB_MEMO:
        return ColumnType::Memo;
    default:
        return ColumnType::Other;
    }
}

struct Parse
{
    FileContents *out = nullptr;
    bool done = false;
    QString failure;
    qint64 rows = 0;
};

QString failureText(const QString &path, unsigned char kind, const QByteArray &detail)
{
    const QString d = QString::fromUtf8(detail);
    switch (kind) {
    case FailOpen:
        return tr("%1 could not be opened as an Access database; it is damaged or of a kind that cannot be read.")
            .arg(path);
    case FailEncrypted:
        return tr("%1 is an encrypted Access database. Decrypt it in Access (Tools, Security, Encrypt/Decrypt "
                  "Database), then convert the decrypted copy.")
            .arg(path);
    case FailPassword:
        return tr("%1 is an Access database protected by a password. Remove the password in Access (Tools, "
                  "Security, Unset Database Password), then convert it.")
            .arg(path);
    case FailCatalogue:
        return tr("%1 is damaged or cut short: its list of tables cannot be read. Access's Compact and Repair may "
                  "mend a copy of it.")
            .arg(path);
    case FailTable:
        return tr("%1 is damaged: the table %2 cannot be read.").arg(path, d);
    case FailRow: {
        const qsizetype space = d.lastIndexOf(QLatin1Char(' '));
        return tr("%1 is damaged: row %2 of the table %3 cannot be read.").arg(path, d.mid(space + 1), d.left(space));
    }
    case FailRowCount: {
        const QList<QByteArray> parts = detail.split(' ');
        if (parts.size() < 3)
            break;
        return tr("%1 is damaged: the table %2 says it holds %3 rows, but %4 could be read. Access's Compact and "
                  "Repair may mend a copy of it.")
            .arg(path,
                 QString::fromUtf8(
                     detail.left(detail.size() - parts.last().size() - parts[parts.size() - 2].size() - 2)),
                 QString::fromLatin1(parts[parts.size() - 2]), QString::fromLatin1(parts.last()));
    }
    case FailTextTooLong:
        return tr("%1: a text in the table %2 is longer than a million characters, more than a diary field takes.")
            .arg(path, d);
    default:
        break;
    }
    return tr("%1 could not be read.").arg(path);
}

// Takes one whole frame; false when the child's output makes no sense.
bool takeFrame(unsigned char kind, const QByteArray &payload, const QString &path, Parse *p)
{
    Reader r(payload);
    FileContents &out = *p->out;
    switch (kind) {
    case FrameVersion: {
        quint32 v = 0;
        if (!r.u32(&v))
            return false;
        out.jetVersion = int(v);
        return true;
    }
    case FrameEncoding:
        out.textEncoding = QString::fromLatin1(payload);
        return true;
    case FrameTableName: {
        QByteArray name;
        if (!r.bytes(&name))
            return false;
        out.tables << QString::fromUtf8(name);
        return true;
    }
    case FrameTableStart: {
        Table t;
        QByteArray name;
        quint32 n = 0;
        if (!r.bytes(&name) || !r.u32(&n) || n > MDB_MAX_COLS)
            return false;
        t.name = QString::fromUtf8(name);
        for (quint32 i = 0; i < n; ++i) {
            QByteArray colName;
            quint32 type = 0;
            if (!r.bytes(&colName) || !r.u32(&type))
                return false;
            t.columns << Column{QString::fromUtf8(colName), columnType(int(type))};
        }
        out.read << t;
        return true;
    }
    case FrameRow: {
        if (out.read.isEmpty())
            return false;
        Table &t = out.read.last();
        quint32 n = 0;
        if (!r.u32(&n) || n != quint32(t.columns.size()))
            return false;
        QVariantList row;
        row.reserve(n);
        for (quint32 i = 0; i < n; ++i) {
            unsigned char tag = 0;
            if (!r.u8(&tag))
                return false;
            switch (tag) {
            case TagNull:
                row << QVariant();
                break;
            case TagText: {
                QByteArray b;
                if (!r.bytes(&b))
                    return false;
                // An empty field stays an empty text, never a null one.
                row << QVariant(b.isEmpty() ? QStringLiteral("") : QString::fromUtf8(b.constData(), b.size()));
                break;
            }
            case TagInteger: {
                qint64 v = 0;
                if (!r.raw(&v, 8))
                    return false;
                row << QVariant(v);
                break;
            }
            case TagDouble:
            case TagDate: {
                double d = 0;
                if (!r.raw(&d, 8))
                    return false;
                if (tag == TagDate)
                    row << QVariant(jetDateTime(d));
                else if (t.columns[i].type == ColumnType::Single)
                    row << QVariant(float(d)); // so that 0.15 reads back as 0.15, not as its double
                else
                    row << QVariant(d);
                break;
            }
            case TagBool: {
                unsigned char b = 0;
                if (!r.u8(&b))
                    return false;
                row << QVariant(b != 0);
                break;
            }
            case TagBytes: {
                QByteArray b;
                if (!r.bytes(&b))
                    return false;
                row << QVariant(b);
                break;
            }
            default:
                return false;
            }
        }
        t.rows << row;
        ++p->rows;
        return r.atEnd();
    }
    case FrameFailure: {
        unsigned char what = 0;
        QByteArray detail;
        if (!r.u8(&what) || !r.bytes(&detail))
            return false;
        p->failure = failureText(path, what, detail);
        return true;
    }
    case FrameDone:
        p->done = true;
        return true;
    default:
        return false;
    }
}

// What the first bytes say before libmdb is given the file.
QString precheck(const QString &path, qint64 *size)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return tr("%1 could not be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return tr("%1 is not a file.").arg(path);
    }
    QByteArray head(0x20, '\0');
    const ssize_t n = ::pread(fd, head.data(), size_t(head.size()), 0);
    ::close(fd);
    if (n < 0x18 || !hasAccessSignature(head))
        return tr("%1 is not an Access database (it does not start as one does).").arg(path);
    const unsigned char version = static_cast<unsigned char>(head[0x14]);
    if (version > MDB_VER_ACCDB_2019)
        return tr("%1 is an Access database of a version that cannot be read (%2).").arg(path).arg(version);
    const qint64 page = version == MDB_VER_JET3 ? 2048 : 4096;
    // A whole file is whole pages, and even the smallest holds its catalogue
    // a few pages in.
    if (st.st_size < page * 3 || st.st_size % page != 0)
        return tr("%1 is truncated or damaged: its size, %2 bytes, is not a whole number of %3-byte pages.")
            .arg(path)
            .arg(st.st_size)
            .arg(page);
    *size = st.st_size;
    return {};
}

} // namespace

bool hasAccessSignature(const QByteArray &firstBytes)
{
    // One judgement of the signature, the start check's.
    return keeping::hasAccessSignature(firstBytes);
}

bool isAccessFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return hasAccessSignature(f.read(0x20));
}

int Table::columnIndex(const QString &columnName) const
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(columnName, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const Table *FileContents::table(const QString &name) const
{
    for (const Table &t : read) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

QDateTime jetDateTime(double stored)
{
    if (!std::isfinite(stored) || stored < -700000.0 || stored > 3000000.0)
        return {};
    const double whole = std::trunc(stored);
    qint64 days = qint64(whole);
    // Access keeps whole seconds; rounding to them keeps a float's last bit
    // from making a time of day out of midnight.
    qint64 seconds = std::llround(std::fabs(stored - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return {};
    return QDateTime(date, QTime(0, 0).addSecs(int(seconds)), QTimeZone::utc());
}

FileContents readAccessFile(const QString &path, const ReadOptions &options)
{
    FileContents out;
    qint64 size = 0;
    out.error = precheck(path, &size);
    if (!out.error.isEmpty())
        return out;
    const int limitMs = options.timeLimitMs > 0 ? options.timeLimitMs : int(30000 + size / (10 * 1024 * 1024) * 10000);

    QList<QByteArray> wanted;
    for (const QString &t : options.tables)
        wanted << t.toUtf8();
    const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());

    // The child is forked, not started afresh, so that there is no helper
    // program to find; it then does nothing but libmdb's work. The code page
    // converters are loaded here first, so that the child finds them loaded
    // rather than loading them itself while another thread of this process
    // might hold the loader's lock.
    static std::once_flag converters;
    std::call_once(converters, [] {
        for (const char *from : {"UCS-2LE", "CP1252"}) {
            const iconv_t cd = iconv_open("UTF-8", from);
            if (cd != iconv_t(-1))
                iconv_close(cd);
        }
    });
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        out.error = tr("%1 could not be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return out;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        out.error = tr("%1 could not be read: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return out;
    }
    if (pid == 0) {
        ::close(fds[0]);
        runChild(native, options.jet3Encoding, wanted, fds[1], limitMs);
    }
    ::close(fds[1]);

    Parse parse;
    parse.out = &out;
    QByteArray pending;
    QString failure;
    bool broken = false;
    qint64 transferred = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char chunk[65536];
    qint64 reported = -1;
    for (;;) {
        if (options.cancel && options.cancel->load()) {
            failure = tr("The reading of %1 was cancelled.").arg(path);
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            failure =
                tr("%1 could not be read within %2 seconds; it is most likely damaged.").arg(path).arg(limitMs / 1000);
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        const int ready = ::poll(&pfd, 1, int(std::min<qint64>(left.count(), 100)));
        if (ready < 0 && errno != EINTR) {
            broken = true;
            break;
        }
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // the child has ended
        transferred += n;
        if (transferred > kMaxTransfer) {
            failure = tr("%1 holds far more than a diary does; it was not read.").arg(path);
            break;
        }
        pending.append(chunk, n);
        // Take every whole frame.
        qsizetype at = 0;
        while (!broken && pending.size() - at >= 5) {
            const unsigned char kind = static_cast<unsigned char>(pending[at]);
            quint32 len = 0;
            for (int i = 0; i < 4; ++i)
                len |= quint32(static_cast<unsigned char>(pending[at + 1 + i])) << (8 * i);
            if (pending.size() - at - 5 < qsizetype(len))
                break;
            if (!takeFrame(kind, pending.mid(at + 5, len), path, &parse))
                broken = true;
            at += 5 + len;
        }
        pending.remove(0, at);
        if (broken)
            break;
        if (options.progress && parse.rows != reported) {
            reported = parse.rows;
            options.progress(parse.rows);
        }
    }
    ::close(fds[0]);
    // Whatever happened, the child does not outlive the read.
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (failure.isEmpty() && !parse.failure.isEmpty())
        failure = parse.failure;
    if (failure.isEmpty() && (broken || !parse.done || !pending.isEmpty())) {
        if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL)
            failure = tr("%1 is damaged: reading it stopped at row %2 (%3).")
                          .arg(path)
                          .arg(parse.rows)
                          .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
        else
            failure = tr("%1 is damaged: reading it stopped at row %2.").arg(path).arg(parse.rows);
    }
    if (!failure.isEmpty()) {
        const int version = out.jetVersion;
        out = FileContents{};
        out.jetVersion = version;
        out.error = failure;
    }
    return out;
}

} // namespace jet

#pragma once

#include <QSqlDatabase>
#include <QString>

#include <memory>

class QSqlError;
struct sqlite3;

namespace diary {

// One window's own connection to the diary file. It is opened shared, in a
// mode that can never create the file, with the busy waits of the program's
// connection settings and full durability on commit. The named Qt connection
// is removed when this object goes, so every query on it must be gone first.
class Connection
{
    Q_DISABLE_COPY_MOVE(Connection)
public:
    // nullptr and a message a user can read (what is wrong, the file, and what
    // to do) when the file is missing or is not a SQLite database.
    static std::unique_ptr<Connection> open(const QString &path, QString *error);
    ~Connection();

    QSqlDatabase database() const;
    // SQLite's own handle of the same connection, for reads that Qt SQL makes
    // slow (every text turned to UTF-16 by SQLite, then copied); nullptr when
    // the connection is not open.
    sqlite3 *handle() const;
    QString path() const { return m_path; }
    QString name() const { return m_name; }

    // Busy wait for a command, in milliseconds (the command timeout of 30 s).
    static constexpr int kCommandTimeoutMs = 30000;
    // The connection timeout of 15 s: the longest that opening, up to the
    // end of the first read (finishOpening), waits for a lock.
    static constexpr int kConnectionTimeoutMs = 15000;
    // The busy waits that connections opened from now on use. Only tests that
    // hold a lock on purpose shorten them; the program keeps the constants.
    static void setBusyTimeoutMs(int ms);
    static int busyTimeoutMs();
    static void setOpenTimeoutMs(int ms);
    static int openTimeoutMs();
    // The first read is done: from now on a command waits the command timeout.
    void finishOpening();

    // Whether the file at path() is no longer the one this connection opened
    // (another program put a new file there, as a restore or a sync does).
    bool fileReplaced() const;

    // A file that was write-protected when it was opened stays read-only for
    // this connection even after it is made writable. When that is so and the
    // file can be written now, this opens the connection again (nothing may
    // be running on it) and says whether it did.
    bool reopenIfWritableNow();

private:
    Connection(QString path, QString name);
    bool openDatabase(QString *error);
    QString m_path;
    QString m_name;
    bool m_openedReadOnly = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

// The advice that ends every message about a diary that cannot be used.
QString setupAdvice();

// What a failure to open or read the diary at `path` means for the user, from
// the engine's error: in use by another program (close it and try again),
// cannot be read, damaged, or no MEALWISE diary at all. Only the last suggests
// a new diary, and never over the file that is there.
QString openFailure(const QString &path, const QSqlError &error);

} // namespace diary

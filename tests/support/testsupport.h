#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include "platform/msgbox.h"

class QWidget;

namespace testing_support {

// Records every message box instead of showing it; restores the previous sink.
class MessageLog
{
    Q_DISABLE_COPY_MOVE(MessageLog)
public:
    MessageLog();
    ~MessageLog();
    QStringList messages;
    QString last() const { return messages.isEmpty() ? QString() : messages.last(); }
    void clear() { messages.clear(); }

private:
    vb::MsgBoxSink m_previous;
};

// A fresh diary made by the setup code in a temporary folder.
class TempDiary
{
    Q_DISABLE_COPY_MOVE(TempDiary)
public:
    // At a temporary path; or, with atHome, at the program's own path under
    // the test's temporary home folder.
    explicit TempDiary(bool atHome = false);
    ~TempDiary();
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString path() const { return m_path; }

    // Direct access for arranging and checking a test, bypassing the program.
    bool exec(const QString &sql, const QVariantList &values = {}) const;
    // As another tool writes, past the diary's own CHECKs (a DATE of 31/01/26).
    bool execPastChecks(const QString &sql, const QVariantList &values = {}) const;
    QList<QVariantList> rows(const QString &sql, const QVariantList &values = {}) const;
    QVariant scalar(const QString &sql, const QVariantList &values = {}) const;
    // Inserts one day; returns its ID or -1.
    qint64 insertDay(const QHash<QString, QVariant> &fields) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_error;
};

// Sets HOME to a new temporary folder for the life of the object.
class TempHome
{
    Q_DISABLE_COPY_MOVE(TempHome)
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};

} // namespace testing_support

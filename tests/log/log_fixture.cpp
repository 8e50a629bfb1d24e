#include "log_fixture.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace logtest {

QList<DbRow> ReadRows(ardel::TSqliteTableSink &sink)
{
    QList<DbRow> rows;
    QSqlQuery q(sink.Database());
    EXPECT_TRUE(
        q.exec(QStringLiteral("SELECT Datum, Ido, Tul, Szint, Szoveg, rowid FROM \"%1\" ORDER BY rowid").arg(sink.TableName())));
    while (q.next()) {
        DbRow r;
        r.datum = q.value(0).toString();
        r.ido = q.value(1).toString();
        r.tul = q.value(2).toString();
        r.szint = q.value(3).toInt();
        r.szoveg = q.value(4).toString();
        r.rowid = q.value(5).toLongLong();
        rows.append(r);
    }
    return rows;
}

void FillRows(ardel::TSqliteTableSink &sink, int n)
{
    QSqlDatabase db = sink.Database();
    ASSERT_TRUE(db.transaction());
    QSqlQuery q(db);
    ASSERT_TRUE(q.prepare(
        QStringLiteral("INSERT INTO \"%1\" (Datum, Ido, Tul, Szint, Szoveg) VALUES ('2024-01-01', '00:00:00.000', 'x', 1, ?)")
            .arg(sink.TableName())));
    for (int i = 0; i < n; ++i) {
        q.addBindValue(QStringLiteral("fill %1").arg(i));
        ASSERT_TRUE(q.exec());
    }
    ASSERT_TRUE(db.commit());
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Cp1250(const QString &text)
{
    QStringEncoder enc("windows-1250");
    return enc.encode(text);
}

void LogDirTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    savedCwd = QDir::currentPath();
}

void LogDirTest::TearDown()
{
    QDir::setCurrent(savedCwd);
}

QString EnterPrivateMountNamespace()
{
    static QString result = [] {
        if (::unshare(CLONE_NEWNS) != 0) {
            const int err = errno;
            // The usual case of a normal user: say so instead of a bare errno.
            if (err == EPERM)
                return QStringLiteral("a private mount namespace needs root (unshare(CLONE_NEWNS): %1)")
                    .arg(QString::fromLocal8Bit(std::strerror(err)));
            return QStringLiteral("unshare(CLONE_NEWNS): %1").arg(QString::fromLocal8Bit(std::strerror(err)));
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return QStringLiteral("make-rprivate: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }();
    return result;
}

QString MountTmpfs(const QString &dir, const QString &options)
{
    QDir().mkpath(dir);
    const QByteArray opts = options.toLatin1();
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, opts.constData()) != 0)
        return QStringLiteral("mount tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return QString();
}

QString RemountTmpfs(const QString &dir, const QString &options, bool readOnly)
{
    const QByteArray opts = options.toLatin1();
    unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", flags, opts.constData()) != 0)
        return QStringLiteral("remount: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return QString();
}

void Unmount(const QString &dir)
{
    ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
}

} // namespace logtest

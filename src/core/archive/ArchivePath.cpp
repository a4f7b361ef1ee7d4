#include "core/archive/ArchivePath.h"

#include "core/BuildConfig.h"
#include "core/archive/SlipRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString SystemDirectory(const QString& directory)
{
    QString path = trimSpaces(directory).toString();
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.isDir()) {
        if (info.exists() || !QDir().mkpath(path))
            return {};
        // Every user saves into the same archive and rewrites it by rename.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    }
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString SystemDirectory()
{
    return SystemDirectory(QString::fromUtf8(CEDOLARIO_SYSTEM_DIR));
}

QString ArchivePath()
{
    return SystemDirectory() + ArchiveFileName;
}

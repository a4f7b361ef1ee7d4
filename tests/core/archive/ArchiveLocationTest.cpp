// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchivePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "SystemFiles.h"

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DirectoryFacts)
Q_DECLARE_METATYPE(UserFacts)

namespace {

constexpr quint32 Cedolario = 120;
constexpr quint32 Anna = 1000; // a user of the group
constexpr quint32 AnnaOwn = 1000;

DirectoryFacts directory(quint32 mode, quint32 owner = 0, quint32 group = Cedolario)
{
    DirectoryFacts facts;
    facts.exists = true;
    facts.isDirectory = true;
    facts.owner = owner;
    facts.group = group;
    facts.mode = mode;
    return facts;
}

} // namespace

class ArchiveLocationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void judgesTheSharedDirectory_data();
    void judgesTheSharedDirectory();
    void mendingCommands();
    void judgesAWindowsFolderByItsAccessList_data();
    void judgesAWindowsFolderByItsAccessList();
    void mendingCommandsOnWindows();
    void aRealFolderWithoutItsGroupIsNeverUsed();
    void perUserArchiveWhenTheSharedOneIsUnsafe();
    void perUserArchiveWithoutAWord();
    void sharedArchiveWhenSafe();
};

void ArchiveLocationTest::judgesTheSharedDirectory_data()
{
    QTest::addColumn<DirectoryFacts>("facts");
    QTest::addColumn<bool>("groupExists");
    QTest::addColumn<UserFacts>("user");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("faults");

    const UserFacts member{Anna, {AnnaOwn, 24, Cedolario}};
    const UserFacts stranger{1001, {1001, 24}};
    const UserFacts root{0, {0}};
    const int use = SharedDirectoryVerdict::Use;
    const int unsafe = SharedDirectoryVerdict::Unsafe;

    QTest::newRow("2770 root:cedolario, member") << directory(02770) << true << member << use << QString();
    QTest::newRow("2775 root:cedolario, member") << directory(02775) << true << member << use << QString();
    QTest::newRow("2770, root not in the group") << directory(02770) << true << root << use << QString();
    QTest::newRow("2770, user not in the group")
        << directory(02770) << true << stranger << int(SharedDirectoryVerdict::NotMember) << QString();
    QTest::newRow("no shared directory")
        << DirectoryFacts{} << true << member << int(SharedDirectoryVerdict::Absent) << QString();
    QTest::newRow("0777 left by an earlier install")
        << directory(0777, 0, 0) << true << member << unsafe
        << u"non è del gruppo cedolario, manca il bit setgid, è scrivibile da tutti gli utenti"_s;
    QTest::newRow("2777: world-writable")
        << directory(02777) << true << member << unsafe << u"è scrivibile da tutti gli utenti"_s;
    QTest::newRow("1770: sticky without setgid")
        << directory(01770) << true << member << unsafe << u"manca il bit setgid"_s;
    QTest::newRow("2750: group cannot write")
        << directory(02750) << true << member << unsafe << u"il gruppo non può leggerla e scriverla"_s;
    QTest::newRow("owned by a user") << directory(02770, Anna) << true << member << unsafe
                                     << u"non appartiene a root"_s;
    QTest::newRow("another group") << directory(02770, 0, 50) << true << member << unsafe
                                   << u"non è del gruppo cedolario"_s;
    QTest::newRow("group cedolario missing")
        << directory(02770, 0, 50) << false << root << unsafe << u"il gruppo cedolario non esiste"_s;
    DirectoryFacts link = directory(0777);
    link.isLink = true;
    link.isDirectory = false;
    QTest::newRow("a link to a directory")
        << link << true << root << unsafe << u"è un collegamento simbolico"_s;
    DirectoryFacts file = directory(0644);
    file.isDirectory = false;
    QTest::newRow("a plain file") << file << true << root << unsafe << u"non è una cartella"_s;
}

void ArchiveLocationTest::judgesTheSharedDirectory()
{
    QFETCH(DirectoryFacts, facts);
    QFETCH(bool, groupExists);
    QFETCH(UserFacts, user);
    QFETCH(int, verdict);
    QFETCH(QString, faults);
    const SharedDirectoryVerdict result =
        judgeSharedDirectory(facts, groupExists ? std::optional<quint32>(Cedolario) : std::nullopt, user);
    QCOMPARE(int(result.kind), verdict);
    QCOMPARE(result.faults, faults);
}

void ArchiveLocationTest::mendingCommands()
{
    QCOMPARE(
        ::mendingCommands(u"/var/lib/cedolario"_s, directory(0777, 0, 0), true),
        u"sudo chown root:cedolario /var/lib/cedolario\n"
        u"sudo chmod 2770 /var/lib/cedolario\n"
        u"sudo find /var/lib/cedolario -maxdepth 1 -type f -exec chgrp cedolario {} + -exec chmod 0660 {} +"_s);
    DirectoryFacts link = directory(0777);
    link.isLink = true;
    QCOMPARE(::mendingCommands(u"/var/lib/cedolario"_s, link, false),
             u"sudo addgroup --system cedolario\n"
             u"sudo mv /var/lib/cedolario /var/lib/cedolario.vecchia\n"
             u"sudo install -d -o root -g cedolario -m 2770 /var/lib/cedolario"_s);
}

namespace {

// A Windows folder as an installation for every user makes it: the administrators' own, the system and
// the administrators in full, the group "cedolario" may modify, no one else writes.
DirectoryFacts windowsFolder(bool member = true)
{
    DirectoryFacts facts;
    facts.exists = true;
    facts.isDirectory = true;
    AccessListFacts access;
    access.ownedByAdministrators = true;
    access.groupExists = true;
    access.groupMayWrite = true;
    access.userInGroup = member;
    facts.access = access;
    return facts;
}

} // namespace

void ArchiveLocationTest::judgesAWindowsFolderByItsAccessList_data()
{
    QTest::addColumn<DirectoryFacts>("facts");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("faults");
    const int unsafe = SharedDirectoryVerdict::Unsafe;

    QTest::newRow("as installed, member") << windowsFolder() << int(SharedDirectoryVerdict::Use) << QString();
    QTest::newRow("as installed, not a member")
        << windowsFolder(false) << int(SharedDirectoryVerdict::NotMember) << QString();
    // What a folder made by hand under ProgramData inherits: every user may add files.
    DirectoryFacts inherited = windowsFolder();
    inherited.access->otherWriters = {u"BUILTIN\\Users"_s, u"CREATOR OWNER"_s};
    QTest::newRow("users may write, as ProgramData lets them")
        << inherited << unsafe << u"possono scriverla anche BUILTIN\\Users, CREATOR OWNER"_s;
    DirectoryFacts userOwned = windowsFolder();
    userOwned.access->ownedByAdministrators = false;
    QTest::newRow("owned by a user, who may change its rights")
        << userOwned << unsafe << u"non appartiene agli amministratori"_s;
    DirectoryFacts noGroup = windowsFolder();
    noGroup.access->groupExists = false;
    noGroup.access->groupMayWrite = false;
    noGroup.access->userInGroup = false;
    QTest::newRow("no group") << noGroup << unsafe << u"il gruppo cedolario non esiste"_s;
    DirectoryFacts readOnly = windowsFolder();
    readOnly.access->groupMayWrite = false;
    QTest::newRow("the group may only read")
        << readOnly << unsafe << u"il gruppo cedolario non può scriverla"_s;
    DirectoryFacts open = windowsFolder();
    open.access->noAccessList = true;
    QTest::newRow("no access list at all")
        << open << unsafe << u"non ha permessi, quindi chiunque può scriverla"_s;
    DirectoryFacts unreadable = windowsFolder();
    unreadable.access->unreadable = true;
    QTest::newRow("rights unreadable") << unreadable << unsafe << u"i suoi permessi non si possono leggere"_s;
    DirectoryFacts junction = windowsFolder();
    junction.isLink = true;
    junction.isDirectory = false;
    QTest::newRow("a junction elsewhere") << junction << unsafe << u"è un collegamento"_s;
}

void ArchiveLocationTest::judgesAWindowsFolderByItsAccessList()
{
    QFETCH(DirectoryFacts, facts);
    QFETCH(int, verdict);
    QFETCH(QString, faults);
    // The POSIX facts are not looked at: no group id, and a user who would be root there.
    const SharedDirectoryVerdict result = judgeSharedDirectory(facts, std::nullopt, UserFacts{0, {}});
    QCOMPARE(int(result.kind), verdict);
    QCOMPARE(result.faults, faults);
}

void ArchiveLocationTest::mendingCommandsOnWindows()
{
    DirectoryFacts inherited = windowsFolder();
    inherited.access->groupExists = false;
    QCOMPARE(::mendingCommands(u"C:/ProgramData/Cedolario"_s, inherited, false),
             u"net localgroup cedolario /add\n"
             u"icacls \"C:\\ProgramData\\Cedolario\" /setowner *S-1-5-32-544\n"
             u"icacls \"C:\\ProgramData\\Cedolario\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F "
             u"*S-1-5-32-544:(OI)(CI)F cedolario:(OI)(CI)M\n"
             u"net localgroup cedolario <utente> /add"_s.replace(u'\\', QDir::separator()));
}

void ArchiveLocationTest::aRealFolderWithoutItsGroupIsNeverUsed()
{
    // The access list of a real folder, read where the system keeps one (Windows), judged for a group
    // that does not exist: never a folder to share.
    QTemporaryDir dir;
    AccessListFacts access;
    const bool hasList = folderAccessList(dir.path(), u"cedolario-nessuno"_s, access);
#ifdef Q_OS_WIN
    QVERIFY(hasList);
    QVERIFY(!access.groupExists);
    QVERIFY(!access.userInGroup);
    DirectoryFacts facts;
    facts.exists = true;
    facts.isDirectory = true;
    facts.access = access;
    const SharedDirectoryVerdict verdict = judgeSharedDirectory(facts, std::nullopt, UserFacts{0, {}});
    QCOMPARE(int(verdict.kind), int(SharedDirectoryVerdict::Unsafe));
    QVERIFY2(verdict.faults.contains(u"il gruppo cedolario non esiste"_s) ||
                 verdict.faults.contains(u"i suoi permessi non si possono leggere"_s),
             qPrintable(verdict.faults));
#else
    // Elsewhere the mode bits say it all.
    QVERIFY(!hasList);
#endif
}

void ArchiveLocationTest::perUserArchiveWhenTheSharedOneIsUnsafe()
{
    if (!hasPosixPermissions())
        QSKIP("a shared directory is judged by POSIX permission bits, which files here do not have");
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString shared = temporary.filePath(u"var/lib/cedolario"_s);
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(QFile::setPermissions(shared, QFile::Permissions(0x7777)));
    QCOMPARE(permissionsOf(shared), 0777);
    const QString data = temporary.filePath(u"home/.local/share"_s);

    const ArchiveLocation location = chooseArchiveLocation(shared, data + u"/cedolario"_s);
    QCOMPARE(location.path, data + u"/cedolario/fillcp.dll"_s);
    QVERIFY(!location.shared);
    QVERIFY2(location.notice.startsWith(u"La cartella comune dell'archivio %1 non è sicura ("_s.arg(shared)),
             qPrintable(location.notice));
    QVERIFY2(location.notice.contains(u"è scrivibile da tutti gli utenti"_s), qPrintable(location.notice));
    QVERIFY2(
        location.notice.contains(u"Le schede sono salvate nell'archivio personale %1."_s.arg(location.path)),
        qPrintable(location.notice));
    QVERIFY2(location.notice.contains(u"sudo chmod 2770 %1"_s.arg(shared)), qPrintable(location.notice));
    // The per-user directory is made private; the shared one is left exactly as it was.
    QCOMPARE(permissionsOf(data + u"/cedolario"_s), 0700);
    QCOMPARE(permissionsOf(shared), 0777);
    QVERIFY(QDir(shared).isEmpty());
}

void ArchiveLocationTest::perUserArchiveWithoutAWord()
{
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString data = temporary.filePath(u"xdg-data/cedolario/"_s);
    const ArchiveLocation location = chooseArchiveLocation(temporary.filePath(u"non-installato"_s), data);
    QCOMPARE(location.path, temporary.filePath(u"xdg-data/cedolario/fillcp.dll"_s));
    QCOMPARE(location.notice, QString());
    QVERIFY(QFileInfo(temporary.filePath(u"xdg-data/cedolario"_s)).isDir());
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(temporary.filePath(u"xdg-data/cedolario"_s)), 0700);
}

void ArchiveLocationTest::sharedArchiveWhenSafe()
{
    if (!runsAsRoot())
        QSKIP("a directory owned by root is made by root only");
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString shared = temporary.filePath(u"condivisa"_s);
    QVERIFY(QDir().mkpath(shared));
    // Group "root" stands for the group of the archive here: root may write it as root.
    QVERIFY(setOwner(shared, 0, 0));
    QVERIFY(setPermissions(shared, 02770));
    const QString data = temporary.filePath(u"personale"_s);
    const ArchiveLocation location = chooseArchiveLocation(shared + u'/', data + u"/cedolario"_s, u"root"_s);
    QCOMPARE(location.path, shared + u"/fillcp.dll"_s);
    QVERIFY(location.shared);
    QCOMPARE(location.notice, QString());
    QVERIFY(!QFileInfo::exists(data));
}

QTEST_GUILESS_MAIN(ArchiveLocationTest)
#include "ArchiveLocationTest.moc"

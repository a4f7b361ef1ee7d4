// SPDX-License-Identifier: GPL-3.0-or-later
// The file layer on Windows: handles, wide names, and every name opened without following a reparse
// point (a symbolic link or a junction) at it.
//
// Windows has no openat(): a file in a folder is opened by the folder's path and its name. The folder
// is held open without FILE_SHARE_DELETE, so while it is held nobody can rename or remove it and its
// path keeps naming the folder that was checked. Files are opened with every share mode, so that, as
// on POSIX, a file held open by one copy of the program can still be renamed over or removed by another.
#include "core/files/FileHandle.h"

#include "core/files/SystemError.h"
#include "core/files/UserFolders.h"
#include "core/files/Win32Path.h"

#include <QDir>
#include <QStandardPaths>

#include <windows.h>

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

thread_local int t_lastError = 0;

// Records error as the cause of the failed call; false, for the caller to return.
bool failed(DWORD error)
{
    t_lastError = int(error);
    return false;
}

bool failedWithLastError()
{
    return failed(GetLastError());
}

HANDLE handleOf(const FileHandle& file)
{
    return reinterpret_cast<HANDLE>(file.native());
}

FileHandle::Native nativeOf(HANDLE handle)
{
    return reinterpret_cast<FileHandle::Native>(handle);
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FileRenameInfoEx (Windows 10 1607 and later), which MinGW's headers declare only for a version number
// no build sets.
constexpr auto RenameWithFlags = FILE_INFO_BY_HANDLE_CLASS(22);

// Nanoseconds since 1970 of a FILETIME (100 ns steps since 1601).
qint64 nanosecondsOf(const FILETIME& time)
{
    constexpr qint64 From1601To1970 = 116444736000000000LL;
    const qint64 ticks = (qint64(time.dwHighDateTime) << 32) | qint64(time.dwLowDateTime);
    return (ticks - From1601To1970) * 100;
}

bool statusOfHandle(HANDLE handle, FileStatus& status)
{
    status = {};
    SetLastError(NO_ERROR);
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR)
        return failedWithLastError();
    if (type != FILE_TYPE_DISK) {
        status.kind = type == FILE_TYPE_PIPE ? FileKind::Fifo
                                             : (type == FILE_TYPE_CHAR ? FileKind::Device : FileKind::Other);
        status.links = 1;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information))
        return failedWithLastError();
    status.identity = {quint64(information.dwVolumeSerialNumber),
                       (quint64(information.nFileIndexHigh) << 32) | quint64(information.nFileIndexLow)};
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        status.kind = FileKind::Link;
    else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        status.kind = FileKind::Directory;
    else
        status.kind = FileKind::Regular;
    status.size = qint64((quint64(information.nFileSizeHigh) << 32) | quint64(information.nFileSizeLow));
    status.links = quint64(information.nNumberOfLinks);
    status.modified = nanosecondsOf(information.ftLastWriteTime);
    return true;
}

// What stands at the full path, without following it.
bool statusOfPath(const std::wstring& path, FileStatus& status)
{
    const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failedWithLastError();
    const FileHandle held(nativeOf(handle));
    return statusOfHandle(handle, status);
}

DWORD accessOf(DirectoryHandle::Access access)
{
    switch (access) {
    case DirectoryHandle::Access::Read:
        return GENERIC_READ;
    case DirectoryHandle::Access::ReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    case DirectoryHandle::Access::WriteAppend:
        return GENERIC_WRITE;
    }
    return GENERIC_READ;
}

bool missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool taken(DWORD error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

} // namespace

// The path in the form the wide calls take whole, beyond MAX_PATH: "\\?\C:\…" or "\\?\UNC\server\…".
std::wstring win32Path(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.isEmpty() || native.startsWith(QLatin1StringView("\\\\?\\")))
        return native.toStdWString();
    // The full name as Windows itself completes it: a name without its drive ("\\dati\\fillcp.dll"),
    // or relative to the current folder, gets the current drive and folder; "." and ".." go.
    const std::wstring given = native.toStdWString();
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD needed = GetFullPathNameW(given.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (needed == 0)
            return given;
        if (needed < full.size()) {
            full.resize(needed);
            break;
        }
        full.resize(needed);
    }
    QString absolute = QString::fromStdWString(full);
    if (absolute.startsWith(QLatin1StringView("\\\\")))
        absolute = QLatin1StringView("\\\\?\\UNC\\") + absolute.mid(2);
    else
        absolute = QLatin1StringView("\\\\?\\") + absolute;
    return absolute.toStdWString();
}

int lastFileError()
{
    return t_lastError;
}

int fileErrorNumber(FileErrorKind kind)
{
    switch (kind) {
    case FileErrorKind::Missing:
        return ERROR_FILE_NOT_FOUND;
    case FileErrorKind::Exists:
        return ERROR_FILE_EXISTS;
    case FileErrorKind::NoSpace:
        return ERROR_DISK_FULL;
    case FileErrorKind::WouldBlock:
        return ERROR_LOCK_VIOLATION;
    }
    return ERROR_INVALID_PARAMETER;
}

bool isFileError(int error, FileErrorKind kind)
{
    const DWORD code = DWORD(error);
    switch (kind) {
    case FileErrorKind::Missing:
        return missing(code);
    case FileErrorKind::Exists:
        return taken(code);
    case FileErrorKind::NoSpace:
        return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
    case FileErrorKind::WouldBlock:
        return code == ERROR_LOCK_VIOLATION || code == ERROR_SHARING_VIOLATION;
    }
    return false;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        m_native = other.m_native;
        other.m_native = Invalid;
    }
    return *this;
}

void FileHandle::close()
{
    if (m_native != Invalid) {
        const DWORD saved = GetLastError();
        CloseHandle(handleOf(*this));
        SetLastError(saved);
    }
    m_native = Invalid;
}

bool FileHandle::status(FileStatus& status) const
{
    return statusOfHandle(handleOf(*this), status);
}

bool FileHandle::readAt(qint64 offset, char* data, qsizetype size, qsizetype& got) const
{
    got = 0;
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD read = 0;
    const DWORD wanted = DWORD(std::min<qsizetype>(size, qsizetype(1) << 30));
    if (!ReadFile(handleOf(*this), data, wanted, &read, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return true;
        return failedWithLastError();
    }
    got = qsizetype(read);
    return true;
}

bool FileHandle::readFully(qint64 offset, char* data, qsizetype size, qsizetype& got) const
{
    got = 0;
    while (got < size) {
        qsizetype piece = 0;
        if (!readAt(offset + got, data + got, size - got, piece))
            return false;
        if (piece == 0)
            break; // cut short meanwhile
        got += piece;
    }
    return true;
}

bool FileHandle::writeAll(const char* data, qsizetype size)
{
    while (size > 0) {
        // Both offsets all ones: at the end of the file as it stands at that moment, in one step.
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        DWORD written = 0;
        const DWORD piece = DWORD(std::min<qsizetype>(size, qsizetype(1) << 30));
        if (!WriteFile(handleOf(*this), data, piece, &written, &atEnd))
            return failedWithLastError();
        if (written == 0)
            return failed(ERROR_DISK_FULL);
        data += written;
        size -= qsizetype(written);
    }
    return true;
}

bool FileHandle::truncate(qint64 size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(handleOf(*this), FileEndOfFileInfo, &end, sizeof end) ||
           failedWithLastError();
}

bool FileHandle::flush()
{
    if (FlushFileBuffers(handleOf(*this)))
        return true;
    // A handle open only to read has written nothing of its own to flush.
    if (GetLastError() == ERROR_ACCESS_DENIED)
        return true;
    return failedWithLastError();
}

FileHandle::LockResult FileHandle::lock(const QDeadlineTimer& deadline)
{
    // Windows hands a released lock to nobody in particular: it is tried again every few milliseconds
    // until the deadline.
    constexpr DWORD Pause = 5;
    for (;;) {
        OVERLAPPED whole{};
        if (LockFileEx(handleOf(*this), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &whole))
            return LockResult::Locked;
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
            failed(error);
            return LockResult::Failed;
        }
        if (deadline.hasExpired())
            return LockResult::Busy;
        Sleep(DWORD(std::clamp<qint64>(deadline.remainingTime(), 1, Pause)));
    }
}

bool DirectoryHandle::open(const QString& path)
{
    m_path = path;
    m_handle = FileHandle(nativeOf(CreateFileW(
        win32Path(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    if (!m_handle.isOpen())
        return failedWithLastError();
    FileStatus found;
    if (!m_handle.status(found)) {
        m_handle.close();
        return false;
    }
    if (found.kind != FileKind::Directory) {
        m_handle.close();
        return failed(ERROR_DIRECTORY);
    }
    return true;
}

bool DirectoryHandle::status(FileStatus& status) const
{
    return m_handle.status(status);
}

namespace {

std::wstring childPath(const QString& directory, const QString& name)
{
    return win32Path(directory + u'/' + name);
}

HANDLE openChild(const std::wstring& path, DirectoryHandle::Access access, DWORD disposition)
{
    return CreateFileW(path.c_str(), accessOf(access), ShareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

} // namespace

DirectoryHandle::Opened DirectoryHandle::openRegular(const QString& name, Access access, bool create) const
{
    Opened result;
    const std::wstring path = childPath(m_path, name);
    for (int attempt = 0; attempt < 4; ++attempt) {
        HANDLE handle = openChild(path, access, OPEN_EXISTING);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND && create) {
            handle = openChild(path, access, CREATE_NEW);
            if (handle == INVALID_HANDLE_VALUE && taken(GetLastError()))
                continue; // made by someone else meanwhile: open that one
            result.created = handle != INVALID_HANDLE_VALUE;
        }
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD cause = GetLastError();
            failed(cause);
            result.missing = missing(cause);
            // A folder cannot be opened as a file: say what stands there rather than "permission denied".
            FileStatus there;
            if (cause == ERROR_ACCESS_DENIED && statusOfPath(path, there) && there.kind != FileKind::Regular)
                result.cause = notRegularFileText(there.kind);
            else
                result.cause = systemErrorText(int(cause));
            t_lastError = int(cause);
            return result;
        }
        result.file = FileHandle(nativeOf(handle));
        if (!result.file.status(result.status)) {
            result.cause = systemErrorText(lastFileError());
            result.file.close();
            return result;
        }
        if (result.status.kind != FileKind::Regular) {
            result.cause = notRegularFileText(result.status.kind);
            result.file.close();
        }
        return result;
    }
    failed(ERROR_FILE_EXISTS);
    result.cause = systemErrorText(ERROR_FILE_EXISTS);
    return result;
}

bool DirectoryHandle::createNew(const QString& name, Access access, FileHandle& file) const
{
    file = FileHandle(nativeOf(openChild(childPath(m_path, name), access, CREATE_NEW)));
    return file.isOpen() || failedWithLastError();
}

bool DirectoryHandle::statusOf(const QString& name, FileStatus& status) const
{
    return statusOfPath(childPath(m_path, name), status);
}

bool DirectoryHandle::nameIs(const QString& name, const FileHandle& file) const
{
    FileStatus byName;
    FileStatus byHandle;
    return statusOf(name, byName) && file.status(byHandle) && byName.identity == byHandle.identity;
}

bool DirectoryHandle::remove(const QString& name) const
{
    const std::wstring path = childPath(m_path, name);
    if (DeleteFileW(path.c_str()))
        return true;
    // A link to a folder (a junction or a directory link) is removed as a folder: the link alone goes.
    const DWORD error = GetLastError();
    FileStatus there;
    if (error == ERROR_ACCESS_DENIED && statusOfPath(path, there) && there.kind == FileKind::Link &&
        RemoveDirectoryW(path.c_str()))
        return true;
    return failed(error);
}

bool DirectoryHandle::replace(const QString& from, const QString& to, FileHandle* heldTarget) const
{
    const std::wstring source = childPath(m_path, from);
    const std::wstring target = childPath(m_path, to);
    // A rename with POSIX semantics (Windows 10 1809 and later, on NTFS): the name is replaced even while
    // the old file is held open, and whoever holds it keeps it as it was.
    const HANDLE handle = CreateFileW(source.c_str(), DELETE | SYNCHRONIZE, ShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failedWithLastError();
    {
        const FileHandle renamed(nativeOf(handle));
        const DWORD nameBytes = DWORD(target.size() * sizeof(wchar_t));
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = nameBytes;
        std::memcpy(rename->FileName, target.data(), nameBytes);
        if (SetFileInformationByHandle(handle, RenameWithFlags, rename, DWORD(buffer.size())))
            return true;
    }
    // Else the classic replace, which refuses a file held open: the caller's own handle goes first.
    if (heldTarget)
        heldTarget->close();
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           failedWithLastError();
}

bool DirectoryHandle::flush() const
{
    // NTFS writes its folder entries through its own log, and every rename here is written through
    // (MOVEFILE_WRITE_THROUGH): there is nothing left to flush, and a folder's handle cannot be.
    return true;
}

void adviseLargePages(char*, qsizetype)
{
}

FileKind fileKindOfMode(quint32)
{
    return FileKind::Other;
}

QString userArchiveFolder()
{
    // XDG_DATA_HOME, when someone set it, is honoured as on Linux (a user who keeps one home for both
    // systems, and the tests, which give each run its own); otherwise the user's roaming application
    // data, which follows the user from computer to computer in a domain.
    QString data = QDir::fromNativeSeparators(qEnvironmentVariable("XDG_DATA_HOME"));
    if (data.isEmpty() || QDir::isRelativePath(data)) {
        wchar_t* roaming = nullptr;
        if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &roaming) != S_OK) {
            CoTaskMemFree(roaming);
            return {};
        }
        data = QDir::fromNativeSeparators(QString::fromWCharArray(roaming));
        CoTaskMemFree(roaming);
        if (data.isEmpty())
            return {};
        while (data.size() > 1 && data.endsWith(u'/'))
            data.chop(1);
        return data + QStringLiteral("/Cedolario");
    }
    while (data.size() > 1 && data.endsWith(u'/'))
        data.chop(1);
    return data + QStringLiteral("/cedolario");
}

namespace {

// A folder the system names, in Qt's spelling without a trailing "/"; empty when it has none.
QString systemFolder(UINT(WINAPI* ask)(LPWSTR, UINT))
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = ask(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    QString folder = QDir::fromNativeSeparators(QString::fromWCharArray(buffer, int(length)).trimmed());
    while (folder.size() > 3 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

} // namespace

QStringList oldArchivePaths()
{
    QStringList folders;
    for (const QString& folder :
         {systemFolder(GetSystemDirectoryW), systemFolder(GetSystemWow64DirectoryW)}) {
        if (!folder.isEmpty())
            folders.append(folder);
    }
    // The VirtualStore keeps a redirected file under the same path, less its drive.
    wchar_t* local = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local) == S_OK) {
        const QString store =
            QDir::fromNativeSeparators(QString::fromWCharArray(local)) + QStringLiteral("/VirtualStore");
        for (const QString& folder : QStringList(folders)) {
            if (folder.size() > 2 && folder.at(1) == u':')
                folders.append(store + folder.mid(2));
        }
    }
    CoTaskMemFree(local);
    QStringList paths;
    for (const QString& folder : folders)
        paths.append(folder + QStringLiteral("/fillcp.dll"));
    return paths;
}

QString sharedArchiveFolder()
{
    // The folder an installation for every user makes, with its rights, for a local group.
    wchar_t* data = nullptr;
    QString folder;
    if (SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &data) == S_OK)
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(data)) + QStringLiteral("/Cedolario");
    CoTaskMemFree(data);
    return folder;
}

namespace {

// The rights that let an account change what a folder holds or who may.
constexpr ACCESS_MASK WritingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// What the group needs: make files, write them, remove them.
constexpr ACCESS_MASK GroupNeeds = FILE_ADD_FILE | FILE_WRITE_DATA | FILE_APPEND_DATA;

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(sid, type) != FALSE;
}

QString accountName(PSID sid)
{
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return domainSize > 0 && domain[0]
                   ? QString::fromWCharArray(domain) + u'\\' + QString::fromWCharArray(name)
                   : QString::fromWCharArray(name);
    wchar_t* text = nullptr;
    QString result = QStringLiteral("?");
    if (ConvertSidToStringSidW(sid, &text))
        result = QString::fromWCharArray(text);
    LocalFree(text);
    return result;
}

} // namespace

bool folderAccessList(const QString& path, const QString& groupName, AccessListFacts& facts)
{
    facts = {};
    BYTE groupSid[SECURITY_MAX_SID_SIZE];
    DWORD groupSize = sizeof groupSid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    const std::wstring group = groupName.toStdWString();
    facts.groupExists =
        LookupAccountNameW(nullptr, group.c_str(), groupSid, &groupSize, domain, &domainSize, &use) &&
        (use == SidTypeAlias || use == SidTypeGroup || use == SidTypeWellKnownGroup);
    if (facts.groupExists) {
        BOOL member = FALSE;
        facts.userInGroup = CheckTokenMembership(nullptr, groupSid, &member) && member;
    }
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(win32Path(path).c_str(), SE_FILE_OBJECT,
                                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                              nullptr, &list, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        facts.unreadable = true;
        return true;
    }
    facts.ownedByAdministrators =
        owner && (isWellKnown(owner, WinBuiltinAdministratorsSid) || isWellKnown(owner, WinLocalSystemSid));
    facts.noAccessList = list == nullptr;
    ACCESS_MASK groupRights = 0;
    for (DWORD index = 0; list && index < list->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(list, index, &entry))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // An entry only for what is made inside later does not open the folder itself.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (facts.groupExists && EqualSid(sid, groupSid)) {
            groupRights |= allowed->Mask;
            continue;
        }
        if (!(allowed->Mask & WritingRights) || isWellKnown(sid, WinBuiltinAdministratorsSid) ||
            isWellKnown(sid, WinLocalSystemSid) || isWellKnown(sid, WinCreatorOwnerSid))
            continue;
        const QString name = accountName(sid);
        if (!facts.otherWriters.contains(name))
            facts.otherWriters.append(name);
    }
    facts.groupMayWrite = (groupRights & GENERIC_ALL) || (groupRights & GENERIC_WRITE) ||
                          (groupRights & GroupNeeds) == GroupNeeds;
    LocalFree(descriptor);
    return true;
}

bool pathStatus(const QString& path, FileStatus& status)
{
    return statusOfPath(win32Path(path), status);
}

bool makePrivateDirectory(const QString& path)
{
    // The folder inherits its parent's access list: in the user's profile, the user's alone.
    return CreateDirectoryW(win32Path(path).c_str(), nullptr) || failedWithLastError();
}

quint32 currentUserId()
{
    return 0;
}

std::vector<quint32> currentGroupIds()
{
    return {};
}

std::optional<quint32> groupIdOf(const QString&)
{
    return std::nullopt;
}

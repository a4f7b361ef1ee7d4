; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer, built by scripts/windows with Debian's makensis:
;   makensis -DVERSION=1.3 -DDIST=<folder> -DOUTFILE=<setup.exe> cedolario.nsi
; It installs for the user who runs it, with no administrator rights, into their own programs folder
; (%LOCALAPPDATA%\Programs\Cedolario); run as administrator it also offers to install for every user
; of the computer, into Program Files. /S installs silently (per user; /AllUsers for every user, as
; administrator; /ArchivioComune with /AllUsers also makes the office's shared archive folder). The uninstaller removes the program and its entries and keeps every user's archive
; and its copies, and the office's shared archive folder when the installation made one.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh

!define APP "Cedolario"
!define PUBLISHER "Cedolario"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cedolario"

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
BrandingText "${APP} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1040 "ProductName" "${APP}"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di ${APP}"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "LegalCopyright" "Software libero, GNU GPL 3 o successiva"

Var AllUsers
Var ModeAllUsers
Var ModeCurrentUser

!define MUI_ICON "cedolario.ico"
!define MUI_UNICON "cedolario.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\cedolario.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Avvia ${APP}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${DIST}\LICENSE"
Page custom ChooseUsers LeaveChooseUsers
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

; For every user, or for this one: chosen on the page (shown only to an administrator) or with
; /AllUsers on the command line.
Function UseAllUsers
    StrCpy $AllUsers 1
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
    Call ShowSharedSection
FunctionEnd

Function UseCurrentUser
    StrCpy $AllUsers 0
    SetShellVarContext current
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${APP}"
    Call ShowSharedSection
FunctionEnd

Function .onInit
    Call UseCurrentUser
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AllUsers" $1
    ${IfNot} ${Errors}
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_OK|MB_ICONSTOP "Per installare ${APP} per tutti gli utenti bisogna avviare l'installazione come amministratore." /SD IDOK
            Abort
        ${EndIf}
        Call UseAllUsers
        Call ChooseSharedFromCommandLine
    ${EndIf}
FunctionEnd

Function ChooseUsers
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        Abort
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "Per chi installare" "${APP} può servire a te solo o a tutti gli utenti del computer."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 10u 100% 12u "Solo per me (nella mia cartella dei programmi)"
    Pop $ModeCurrentUser
    ${NSD_CreateRadioButton} 0 30u 100% 12u "Per tutti gli utenti di questo computer (in Programmi)"
    Pop $ModeAllUsers
    ${If} $AllUsers == 1
        ${NSD_Check} $ModeAllUsers
    ${Else}
        ${NSD_Check} $ModeCurrentUser
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function LeaveChooseUsers
    ${NSD_GetState} $ModeAllUsers $0
    ${If} $0 == ${BST_CHECKED}
        Call UseAllUsers
    ${Else}
        Call UseCurrentUser
    ${EndIf}
FunctionEnd

Section "${APP}" SectionProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${DIST}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\cedolario.exe" "" "$INSTDIR\cedolario.exe" 0
    ${If} $AllUsers == 1
        StrCpy $0 HKLM
    ${Else}
        StrCpy $0 HKCU
    ${EndIf}
    ; "App e funzionalità" lists the program with its version and publisher.
    ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
    ${If} $AllUsers == 1
        WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\cedolario.exe,0"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /AllUsers'
        WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /AllUsers /S'
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${Else}
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\cedolario.exe,0"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
        WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
        WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
        WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
        WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${EndIf}
SectionEnd

Section /o "Collegamento sul desktop" SectionDesktop
    CreateShortcut "$DESKTOP\${APP}.lnk" "$INSTDIR\cedolario.exe" "" "$INSTDIR\cedolario.exe" 0
SectionEnd

; An office's one archive: %ProgramData%\Cedolario ($APPDATA for every user), the administrators' own, written only by the system,
; the administrators and the members of the local group "cedolario" (the program refuses the folder in
; any other shape). Only for an installation for every user; members are added by an administrator:
;   net localgroup cedolario <utente> /add
Section /o "Archivio comune dell'ufficio (gruppo cedolario)" SectionShared
    ${If} $AllUsers != 1
        Return
    ${EndIf}
    nsExec::ExecToLog 'net localgroup cedolario /add /comment:"Chi usa l$\'archivio comune di Cedolario"'
    Pop $0
    CreateDirectory "$APPDATA\${APP}"
    nsExec::ExecToLog 'icacls "$APPDATA\${APP}" /setowner *S-1-5-32-544'
    Pop $0
    nsExec::ExecToLog 'icacls "$APPDATA\${APP}" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F cedolario:(OI)(CI)M'
    Pop $0
    ${If} $0 != 0
        MessageBox MB_OK|MB_ICONEXCLAMATION "Non è stato possibile dare alla cartella $APPDATA\${APP} i suoi permessi: ${APP} userà l'archivio personale di ogni utente." /SD IDOK
    ${EndIf}
SectionEnd

; The shared archive's section is offered only to an installation for every user.
Function ShowSharedSection
    ${If} $AllUsers == 1
        SectionSetText ${SectionShared} "Archivio comune dell'ufficio (gruppo cedolario)"
    ${Else}
        SectionSetText ${SectionShared} ""
        SectionGetFlags ${SectionShared} $R9
        IntOp $R9 $R9 & ${SECTION_OFF}
        SectionSetFlags ${SectionShared} $R9
    ${EndIf}
FunctionEnd

; /ArchivioComune selects the shared archive's section, for a silent installation for every user.
Function ChooseSharedFromCommandLine
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ArchivioComune" $1
    ${IfNot} ${Errors}
        SectionGetFlags ${SectionShared} $1
        IntOp $1 $1 | ${SF_SELECTED}
        SectionSetFlags ${SectionShared} $1
    ${EndIf}
FunctionEnd

LangString DESC_Program ${LANG_ITALIAN} "Il programma, con le librerie Qt che usa e la voce nel menu Start."
LangString DESC_Desktop ${LANG_ITALIAN} "Un collegamento a ${APP} sul desktop."
LangString DESC_Shared ${LANG_ITALIAN} "Solo installando per tutti gli utenti: una cartella in ProgramData per l'archivio comune, scrivibile solo dal gruppo locale cedolario."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} $(DESC_Program)
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionDesktop} $(DESC_Desktop)
    !insertmacro MUI_DESCRIPTION_TEXT ${SectionShared} $(DESC_Shared)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Which installation this uninstaller removes is decided once, from its command line, and kept in
; $AllUsers for the uninstall section.
Function un.onInit
    StrCpy $AllUsers 0
    SetShellVarContext current
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AllUsers" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        SetShellVarContext all
    ${EndIf}
FunctionEnd

; The program and its entries go; the archive, its lock, journal and daily copies are in each user's
; own data folder, which is not touched.
Section "Uninstall"
    Delete "$SMPROGRAMS\${APP}.lnk"
    Delete "$DESKTOP\${APP}.lnk"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\translations"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\cedolario.exe"
    Delete "$INSTDIR\cedolario.com"
    Delete "$INSTDIR\qt.conf"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ${If} $AllUsers == 1
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd

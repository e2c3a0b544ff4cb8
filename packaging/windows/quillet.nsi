; The per-user Windows installer: no administrator rights, the program under the user's
; local application data, a Start menu shortcut that starts it in Documents\Quillet (where the
; session logs then land), and an uninstaller that keeps those logs.
; Made by scripts/package-windows: makensis -DVERSION= -DSTAGE= -DICON= -DFILES= -DOUTFILE=
Unicode true
; wine64 runs only 64-bit programs, and the program itself is 64-bit.
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"

Name "Quillet ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Quillet"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quillet"
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The shortcut's working folder is the output path when it is made.
    CreateDirectory "$DOCUMENTS\Quillet"
    SetOutPath "$DOCUMENTS\Quillet"
    CreateShortcut "$SMPROGRAMS\Quillet.lnk" "$INSTDIR\quillet.exe" "" "$INSTDIR\quillet.exe" 0 \
        SW_SHOWNORMAL "" "Modbus RTU master test terminal"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillet"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quillet"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillet.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\Quillet.lnk"
    ; Exactly the files the installer put there; Documents\Quillet and its logs stay.
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

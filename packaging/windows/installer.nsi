; The Windows installer. scripts/cross-test-windows-gui.sh builds it with
;   makensis -DVERSION=1.0.0.0 -DBINDIR=DIR -DLANGDIR=DIR -DICON=FILE -DOUTFILE=FILE installer.nsi
; The layout is the one "cmake --install" gives on Linux (bin\, share\vornex-account-manager\
; lang\): the program then knows it is installed and keeps kov.ini and its backups in the
; user's "%APPDATA%\Vornex Account Manager" even where it could write its own folder.
; A 64-bit installer: the program is 64-bit only, and so Wine without its 32-bit half runs it.
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "Vornex Account Manager"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VornexAccountManager"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "Software\${PRODUCT}" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT} developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\bin\kov.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Program"
  SetOutPath "$INSTDIR\bin"
  File "${BINDIR}/kov.exe"
  File "${BINDIR}/kovctl.exe"
  SetOutPath "$INSTDIR\share\vornex-account-manager\lang"
  File "${LANGDIR}/english.xml"
  File "${LANGDIR}/german.xml"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The installing user's settings folder; every other user's is made at their first start.
  SetShellVarContext current
  CreateDirectory "$APPDATA\${PRODUCT}"
  SetShellVarContext all
  SetOutPath "$INSTDIR\bin"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\bin\kov.exe"

  WriteRegStr HKLM "Software\${PRODUCT}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\kov.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT} developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\bin\kov.exe"
  Delete "$INSTDIR\bin\kovctl.exe"
  RMDir "$INSTDIR\bin"
  Delete "$INSTDIR\share\vornex-account-manager\lang\english.xml"
  Delete "$INSTDIR\share\vornex-account-manager\lang\german.xml"
  RMDir "$INSTDIR\share\vornex-account-manager\lang"
  RMDir "$INSTDIR\share\vornex-account-manager"
  RMDir "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "Software\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; kov.ini, the backups and the history in the users' folders are the operators' data: kept.
SectionEnd

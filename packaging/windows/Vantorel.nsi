; The Windows installer, built on Debian by makensis (cmake/Windows.cmake passes the defines):
; Vantorel.vst3 into Common Files\VST3, where every VST3 host looks, and the app into
; Program Files\Korvane\Vantorel with a Start-menu entry; an uninstaller registered with
; Windows' list of installed programs. "/S" runs either silently.
;
; Defines: VERSION, VST3_BUNDLE (the bundle folder), APP (Vantorel.exe), ICON, LICENSE, OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Vantorel"
!define MAKER "Korvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SETTINGS_KEY "Software\${MAKER}\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${MAKER}\${PRODUCT}"
InstallDirRegKey HKLM "${SETTINGS_KEY}" "InstallDir"
BrandingText "${MAKER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GNU General Public License version 3"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PRODUCT}.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the ${PRODUCT} app"

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    ; The 64-bit registry, and the Start menu of all users.
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
    ; The plug-in: the whole bundle folder, replacing an earlier one.
    RMDir /r "$COMMONFILES64\VST3\${PRODUCT}.vst3"
    SetOutPath "$COMMONFILES64\VST3"
    File /r "${VST3_BUNDLE}"

    ; The app and what it needs to be removed again.
    SetOutPath "$INSTDIR"
    File "${APP}"
    File "/oname=LICENSE.txt" "${LICENSE}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe" "" "$INSTDIR\${PRODUCT}.exe" 0

    WriteRegStr HKLM "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://korvane.example"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    ; The size Windows shows: the app's folder and the bundle, in KiB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    ${GetSize} "$COMMONFILES64\VST3\${PRODUCT}.vst3" "/S=0K" $3 $1 $2
    IntOp $0 $0 + $3
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
    RMDir /r "$COMMONFILES64\VST3\${PRODUCT}.vst3"
    RMDir "$COMMONFILES64\VST3"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"

    Delete "$INSTDIR\${PRODUCT}.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    RMDir "$INSTDIR\.."

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "Software\${MAKER}"

    ; The app's own settings (audio devices, window place) of the user who uninstalls go too;
    ; the user's presets (Documents\Vantorel_Presets) are the user's work: they stay.
    SetShellVarContext current
    RMDir /r "$APPDATA\${PRODUCT}"
    SetShellVarContext all
SectionEnd

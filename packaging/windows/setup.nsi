; Pendral's setup program. It copies pendral.scr into the system folder (the 64-bit
; build on 64-bit Windows, the 32-bit build everywhere else), makes it the current
; screen saver, and registers an uninstaller that removes the file and puts back the
; screen saver that was chosen before. /S runs either of them silently.
;
;   makensis -DVERSION=1.2.3 -DVERSION_NUMBERS=1.2.3.0 -DSCR32=<x86 pendral.scr>
;            -DSCR64=<x64 pendral.scr> -DREADME=<README.txt> -DOUTFILE=<setup.exe> setup.nsi
;
; An ANSI installer: the Windows 95 family cannot run a Unicode one.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!macro Require name
  !ifndef ${name}
    !error "define ${name} on the makensis command line"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require VERSION_NUMBERS
!insertmacro Require SCR32
!insertmacro Require SCR64
!insertmacro Require README
!insertmacro Require OUTFILE

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pendral"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SAVER_FILE "pendral.scr"
!define SPI_GETSCREENSAVEACTIVE 16
!define SPI_SETSCREENSAVEACTIVE 17
; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
!define SPIF_SAVE_AND_TELL 3

Name "Pendral ${VERSION}"
Caption "Pendral ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Pendral"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=1033 "ProductName" "Pendral"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Pendral screen saver setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "The Pendral developers"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; 1 on the Windows 95 family (95, 98, Me), 0 on the NT family. Told by the top bit of
; GetVersion, as the system documents it (Wine's win98 mode keeps NT traits that
; WinVer.nsh's IsNT reads, but reports this bit as the Windows 95 family does).
Var Win95Family
!macro FindFamily
  System::Call 'kernel32::GetVersion() i .r0'
  IntOp $Win95Family $0 >>> 31
!macroend
!define IsNT `$Win95Family = 0`

Function .onInit
  !insertmacro FindFamily
  ; The system folder is writable by administrators only on the NT family.
  ${If} ${IsNT}
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      MessageBox MB_ICONSTOP "Installing Pendral needs an administrator's rights: it goes into the system folder." /SD IDOK
      SetErrorLevel 5 ; ERROR_ACCESS_DENIED
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro FindFamily
FunctionEnd

; The 64-bit saver runs only on 64-bit Windows, which is always of the NT family.
!macro IfSixtyFourBit
  ${If} ${IsNT}
  ${AndIf} ${RunningX64}
!macroend

; The screen saver chosen now, "" for none, on the stack.
!macro ReadChosenSaver un
  Function ${un}ReadChosenSaver
    Push $0
    ${If} ${IsNT}
      ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      ReadINIStr $0 "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
    ${EndIf}
    Exch $0
  FunctionEnd
!macroend
!insertmacro ReadChosenSaver ""
!insertmacro ReadChosenSaver "un."

; Makes the path on the stack the chosen screen saver; "" chooses none.
!macro ChooseSaver un
  Function ${un}ChooseSaver
    Exch $0
    ${If} ${IsNT}
      ${If} $0 == ""
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      ${Else}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
      ${EndIf}
    ${Else}
      ${If} $0 == ""
        DeleteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
      ${Else}
        WriteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE" "$0"
      ${EndIf}
    ${EndIf}
    Pop $0
  FunctionEnd
!macroend
!insertmacro ChooseSaver ""
!insertmacro ChooseSaver "un."

Section "Pendral"
  !insertmacro IfSixtyFourBit
    ; A 32-bit program sees SysWOW64 as the system folder unless redirection is off.
    ${DisableX64FSRedirection}
    SetOutPath "$SYSDIR"
    File "/oname=${SAVER_FILE}" "${SCR64}"
    ${EnableX64FSRedirection}
  ${Else}
    SetOutPath "$SYSDIR"
    File "/oname=${SAVER_FILE}" "${SCR32}"
  ${EndIf}

  ; The Windows 95 family's programs read SYSTEM.INI as short names.
  StrCpy $1 "$SYSDIR\${SAVER_FILE}"
  ${IfNot} ${IsNT}
    GetFullPathName /SHORT $2 $1
    ${If} $2 != ""
      StrCpy $1 $2
    ${EndIf}
  ${EndIf}

  ; The earlier choice is kept for the uninstaller. Installing again over Pendral
  ; keeps the choice from before the first installation.
  Call ReadChosenSaver
  Pop $0
  ${GetFileName} $0 $2
  ${If} $2 != "${SAVER_FILE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver" "$0"
    System::Call 'user32::SystemParametersInfoA(i ${SPI_GETSCREENSAVEACTIVE}, i 0, *i 0 r3, i 0)'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive" $3
  ${EndIf}
  Push $1
  Call ChooseSaver
  System::Call 'user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_SAVE_AND_TELL})'
  DetailPrint "Pendral is now the screen saver: $1"

  SetOutPath "$INSTDIR"
  File "/oname=README.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Pendral screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Pendral developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\${SAVER_FILE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The earlier choice comes back only while Pendral is still the chosen one: a
  ; screen saver chosen since is the user's own decision.
  Call un.ReadChosenSaver
  Pop $0
  ${GetFileName} $0 $2
  ${If} $2 == "${SAVER_FILE}"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver"
    Push $1
    Call un.ChooseSaver
    ClearErrors
    ReadRegDWORD $3 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive"
    ${IfNot} ${Errors}
      System::Call 'user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i r3, i 0, i ${SPIF_SAVE_AND_TELL})'
    ${EndIf}
    DetailPrint "Screen saver put back: $1"
  ${EndIf}

  !insertmacro IfSixtyFourBit
    ${DisableX64FSRedirection}
    Delete /REBOOTOK "$SYSDIR\${SAVER_FILE}"
    ${EnableX64FSRedirection}
  ${Else}
    Delete /REBOOTOK "$SYSDIR\${SAVER_FILE}"
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

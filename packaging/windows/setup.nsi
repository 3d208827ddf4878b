; Pendral's setup program. It copies pendral.scr into the system folder (the 64-bit
; build on 64-bit Windows, the 32-bit build everywhere else), makes it the current
; screen saver, and registers an uninstaller that removes the file and puts back the
; screen saver that was chosen before. /S runs either of them silently.
;
;   makensis -DVERSION=1.2.3 -DVERSION_NUMBERS=1.2.3.0 -DSCR32=<x86 pendral.scr>
;            -DSCR64=<x64 pendral.scr> -DSCR32_BYTES=<its size> -DSCR64_BYTES=<its size>
;            -DREADME=<README.txt> -DLICENSE=<LICENSE, CRLF> -DICON=<pendral.ico>
;            -DOUTFILE=<setup.exe> setup.nsi
;
; Two parts on the NT family. The setup (and the uninstaller) starts with the rights of
; the user who runs it and does that user's steps in that user's HKCU: the choice of
; screen saver and the earlier choice to put back. For the machine-wide steps (the
; system folder, the CONTROL.INI mapping, the Add/Remove entry and the uninstaller) it
; starts itself again with the /MACHINE switch, elevated with the "runas" verb, waits
; for that part and reads back what it must have done (MachinePartDone). A standard
; user who elevates with an administrator's password thus keeps the choice in their
; own HKCU, not the administrator's; the machine-wide part never touches HKCU. The
; Windows 95 family has no rights to ask for: there one process does everything,
; choosing in SYSTEM.INI.
;
; An ANSI installer: the Windows 95 family cannot run a Unicode one.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel user

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
!insertmacro Require SCR32_BYTES
!insertmacro Require SCR64_BYTES
!insertmacro Require README
!insertmacro Require LICENSE
!insertmacro Require ICON
!insertmacro Require OUTFILE

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pendral"
!define DESKTOP_KEY "Control Panel\Desktop"
; The setup's own per-user values; the saver's settings are in its Settings subkey,
; which the setup never deletes.
!define USER_KEY "Software\Pendral"
; The profile functions send the saver's CONTROL.INI section to the current user's
; HKCU\Software\Pendral\Settings, where every user may write (the Windows folder is
; read-only to most users from Vista on). Only our value is ours: the key holds other
; sections' mappings.
!define MAPPING_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\IniFileMapping\CONTROL.INI"
!define MAPPING_NAME "Screen_Saver.Pendral"
!define MAPPING_DATA "USR:Software\Pendral\Settings"
!define SAVER_FILE "pendral.scr"
!define MACHINE_SWITCH "/MACHINE"
!define SPI_GETSCREENSAVEACTIVE 16
!define SPI_SETSCREENSAVEACTIVE 17
; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
!define SPIF_SAVE_AND_TELL 3
!define SEE_MASK_NOCLOSEPROCESS 0x40
!define SW_SHOWNORMAL 1
!define ERROR_ACCESS_DENIED 5
!define ERROR_CANCELLED 1223
; The machine-wide part of the removal: done, but the file goes only when Windows
; starts again (a saver still runs from it).
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010
; The version of each build of the saver, for the check that the system folder
; holds the file this setup installs.
; Each build's size in KiB, rounded up, for the Add/Remove entry's EstimatedSize.
!define /math SCR32_KIB_UP ${SCR32_BYTES} + 1023
!define /math SCR32_KIB ${SCR32_KIB_UP} / 1024
!define /math SCR64_KIB_UP ${SCR64_BYTES} + 1023
!define /math SCR64_KIB ${SCR64_KIB_UP} / 1024
!getdllversion "${SCR32}" SCR32_V
!getdllversion "${SCR64}" SCR64_V

Name "Pendral ${VERSION}"
Caption "Pendral ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Pendral"
ShowInstDetails show
ShowUninstDetails show
; The saver's own icon, on the setup program and on its uninstaller.
Icon "${ICON}"
UninstallIcon "${ICON}"
LicenseText "Pendral is free software under the MIT licence. Press I Agree to install it." "I Agree"
LicenseData "${LICENSE}"

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=1033 "ProductName" "Pendral"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Pendral screen saver setup"
VIAddVersionKey /LANG=1033 "CompanyName" "The Pendral developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 The Pendral developers. MIT licence."

; The licence before anything is installed; the machine-wide part was agreed to already.
Page license SkipForMachinePart
Page instfiles
; The machine-wide part of the uninstaller was confirmed by the user's part already.
UninstPage uninstConfirm un.SkipForMachinePart
UninstPage instfiles

; 1 on the Windows 95 family (95, 98, Me), 0 on the NT family. Told by the top bit of
; GetVersion, as the system documents it (Wine's win98 mode keeps NT traits that
; WinVer.nsh's IsNT reads, but reports this bit as the Windows 95 family does).
Var Win95Family
!define IsNT `$Win95Family = 0`
; The major version number (6 from Vista on).
Var WinMajor
; 1 in the elevated, machine-wide part of the NT family (the /MACHINE switch).
Var MachinePart
; 1 when the removal left the file for Windows to delete at its next start.
Var FileAtRestart
!macro FindRole
  System::Call 'kernel32::GetVersion() i .r0'
  IntOp $Win95Family $0 >>> 31
  IntOp $WinMajor $0 & 0xFF
  StrCpy $MachinePart 0
  ${If} ${IsNT}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "${MACHINE_SWITCH}" $1
    ${IfNot} ${Errors}
      StrCpy $MachinePart 1
    ${EndIf}
  ${EndIf}
!macroend

; The machine-wide part writes into the system folder and HKLM, which only
; administrators may do on the NT family.
!macro RequireAdminForMachinePart
  ${If} $MachinePart = 1
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      MessageBox MB_ICONSTOP "Pendral needs an administrator's rights for the system folder." /SD IDOK
      SetErrorLevel ${ERROR_ACCESS_DENIED}
      Quit
    ${EndIf}
    SetAutoClose true
  ${EndIf}
!macroend

Function .onInit
  !insertmacro FindRole
  !insertmacro RequireAdminForMachinePart
FunctionEnd

Function un.onInit
  !insertmacro FindRole
  !insertmacro RequireAdminForMachinePart
FunctionEnd

!macro SkipForMachinePart un
  Function ${un}SkipForMachinePart
    ${If} $MachinePart = 1
      Abort
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro SkipForMachinePart ""
!insertmacro SkipForMachinePart "un."

; The 64-bit saver runs only on 64-bit Windows, which is always of the NT family.
!macro IfSixtyFourBit
  ${If} ${IsNT}
  ${AndIf} ${RunningX64}
!macroend

; The line, in the registry's 64-bit view and then its 32-bit one on 64-bit Windows,
; once elsewhere.
!macro InEveryRegView line
  ${If} ${RunningX64}
    SetRegView 64
    ${line}
    SetRegView 32
  ${EndIf}
  ${line}
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

; The user's part on the NT family: starts this program again with the /MACHINE switch
; (and /S when silent), elevated with "runas", and waits for it. "runas" gives an
; administrator's rights from Vista on (through the consent prompt) and lets a standard
; user of 2000 and XP pick an administrator's account; an administrator of those older
; systems has the rights already and is spared the Run As dialog. If that part could
; not start, failed, or did not do its work, says so and ends the program with a
; non-zero status before any of the user's own steps.
!macro RunMachinePart un
  Function ${un}RunMachinePart
    StrCpy $1 "${MACHINE_SWITCH}"
    IfSilent 0 +2
      StrCpy $1 "/S $1"
    ; The folder, as the last word of the command line (NSIS's rule).
    !if "${un}" == "un."
      StrCpy $1 "$1 _?=$INSTDIR"
      ; Already a copy in the user's temporary folder.
      StrCpy $7 "$EXEPATH"
    !else
      StrCpy $1 "$1 /D=$INSTDIR"
      ; Started from a local copy: an elevated process does not see the user's network
      ; drives, and another account may have no access to the share the setup lies on.
      InitPluginsDir
      StrCpy $7 "$PLUGINSDIR\setup.exe"
      ClearErrors
      SetDetailsPrint none
      CopyFiles /SILENT "$EXEPATH" "$7"
      SetDetailsPrint lastused
      ${If} ${Errors}
        StrCpy $7 "$EXEPATH"
      ${EndIf}
    !endif
    StrCpy $2 "runas"
    ${If} $WinMajor < 6
      UserInfo::GetAccountType
      Pop $0
      ${If} $0 == "Admin"
        StrCpy $2 "open"
      ${EndIf}
    ${EndIf}
    DetailPrint "Starting the part that needs an administrator's rights ($2)"
    ; SHELLEXECUTEINFOA: cbSize, fMask, hwnd, lpVerb, lpFile, lpParameters, lpDirectory,
    ; nShow, hInstApp, lpIDList, lpClass, hkeyClass, dwHotKey, hIcon, hProcess.
    System::Call '*(&l4, i ${SEE_MASK_NOCLOSEPROCESS}, p $HWNDPARENT, t r2, t r7, t r1, p 0, i ${SW_SHOWNORMAL}, p, p, p, p, i, p, p) p .r3'
    System::Call 'shell32::ShellExecuteExA(p r3) i .r4 ?e'
    Pop $5
    StrCpy $6 ""
    ${If} $4 = 0
      ${If} $5 = ${ERROR_CANCELLED}
        StrCpy $6 "it needs an administrator's rights for the system folder, and they were not given."
      ${Else}
        StrCpy $6 "the part that needs an administrator's rights could not be started (error $5)."
      ${EndIf}
    ${Else}
      System::Call '*$3(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r4)'
      StrCpy $5 0
      ${If} $4 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r4, i -1)'
        System::Call 'kernel32::GetExitCodeProcess(p r4, *i .r5)'
        System::Call 'kernel32::CloseHandle(p r4)'
      ${EndIf}
      !if "${un}" == "un."
        ${If} $5 = ${ERROR_SUCCESS_REBOOT_REQUIRED}
          StrCpy $FileAtRestart 1
          StrCpy $5 0
        ${EndIf}
      !endif
      ${If} $5 <> 0
        StrCpy $6 "the part that needs an administrator's rights ended with status $5."
      ${Else}
        Call ${un}MachinePartDone
        Pop $0
        ${If} $0 != ""
          StrCpy $5 1
          StrCpy $6 "the part that needs an administrator's rights did not finish its work:$0"
        ${EndIf}
      ${EndIf}
    ${EndIf}
    System::Free $3
    ${If} $6 != ""
      !if "${un}" == "un."
        MessageBox MB_ICONSTOP "Pendral was not removed: $6 Your screen saver is unchanged." /SD IDOK
      !else
        MessageBox MB_ICONSTOP "Pendral was not installed: $6 Your screen saver is unchanged." /SD IDOK
      !endif
      SetErrorLevel $5
      Quit
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro RunMachinePart ""
!insertmacro RunMachinePart "un."

;------------------------------------------------------------------------------
; What the machine-wide part must have done, read back. Each check appends to $R0
; a sentence (with a leading space) for what is not so.

; The system folder's file is a file of $R1 bytes and version $R2.
Function CheckSaverFile
  StrCpy $R3 "$SYSDIR\${SAVER_FILE}"
  ClearErrors
  FileOpen $R4 $R3 r
  ${If} ${Errors}
    StrCpy $R0 "$R0 $R3 is not there as a file."
    Return
  ${EndIf}
  FileSeek $R4 0 END $R5
  FileClose $R4
  GetDLLVersion $R3 $R6 $R7
  IntOp $R8 $R6 >> 16
  IntOp $R6 $R6 & 0xFFFF
  IntOp $R9 $R7 >> 16
  IntOp $R7 $R7 & 0xFFFF
  ${If} "$R5 $R8.$R6.$R9.$R7" != "$R1 $R2"
    StrCpy $R0 "$R0 $R3 is not the file of this setup ($R5 bytes, version $R8.$R6.$R9.$R7)."
  ${EndIf}
FunctionEnd

; The CONTROL.INI mapping reads $R1 ("" for none) in each registry view it is
; written to; else it "$R2".
!macro CheckMapping un
  Function ${un}CheckMapping
    ${If} ${RunningX64}
      SetRegView 64
      ReadRegStr $R3 HKLM "${MAPPING_KEY}" "${MAPPING_NAME}"
      SetRegView 32
      ${If} $R3 != $R1
        StrCpy $R0 "$R0 The CONTROL.INI mapping $R2 in the 64-bit registry view."
      ${EndIf}
    ${EndIf}
    ReadRegStr $R3 HKLM "${MAPPING_KEY}" "${MAPPING_NAME}"
    ${If} $R3 != $R1
      StrCpy $R0 "$R0 The CONTROL.INI mapping $R2 in the 32-bit registry view."
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro CheckMapping ""
!insertmacro CheckMapping "un."

; "" on the stack if the machine-wide part installed the saver: the system folder
; holds the file of this setup (not a folder of that name, nor a file left by another
; version) and, on the NT family, the mapping. Else what is missing.
Function MachinePartDone
  StrCpy $R0 ""
  !insertmacro IfSixtyFourBit
    StrCpy $R1 ${SCR64_BYTES}
    StrCpy $R2 "${SCR64_V1}.${SCR64_V2}.${SCR64_V3}.${SCR64_V4}"
    ${DisableX64FSRedirection}
    Call CheckSaverFile
    ${EnableX64FSRedirection}
  ${Else}
    StrCpy $R1 ${SCR32_BYTES}
    StrCpy $R2 "${SCR32_V1}.${SCR32_V2}.${SCR32_V3}.${SCR32_V4}"
    Call CheckSaverFile
  ${EndIf}
  ${If} ${IsNT}
    StrCpy $R1 "${MAPPING_DATA}"
    StrCpy $R2 "is missing"
    Call CheckMapping
  ${EndIf}
  Push $R0
FunctionEnd

; "" on the stack if the machine-wide part removed the saver: its file (unless Windows
; deletes it at its next start), the mapping and the Add/Remove entry are gone. Else
; what is left.
Function un.MachinePartDone
  StrCpy $R0 ""
  ${If} $FileAtRestart <> 1
    !insertmacro IfSixtyFourBit
      ${DisableX64FSRedirection}
      IfFileExists "$SYSDIR\${SAVER_FILE}" 0 +2
        StrCpy $R0 " $SYSDIR\${SAVER_FILE} is still there."
      ${EnableX64FSRedirection}
    ${Else}
      IfFileExists "$SYSDIR\${SAVER_FILE}" 0 +2
        StrCpy $R0 " $SYSDIR\${SAVER_FILE} is still there."
    ${EndIf}
  ${EndIf}
  ${If} ${IsNT}
    StrCpy $R1 ""
    StrCpy $R2 "is still there"
    Call un.CheckMapping
  ${EndIf}
  ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "DisplayName"
  ${If} $R1 != ""
    StrCpy $R0 "$R0 Its Add/Remove entry is still there."
  ${EndIf}
  Push $R0
FunctionEnd

; Where one process does the machine-wide steps itself (the Windows 95 family, and
; the removal's elevated part), it reads them back the same way and ends with status
; 1 and a message if they are not done.
!macro RequireMachinePartDone un what
  Call ${un}MachinePartDone
  Pop $0
  ${If} $0 != ""
    MessageBox MB_ICONSTOP "Pendral was not ${what}:$0 Your screen saver is unchanged." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
!macroend

; Ends the machine-wide part with a message (and so with a non-zero status) if an
; instruction since ClearErrors failed; a file that could not be written is otherwise
; only skipped in a silent run.
!macro StopOnErrors what
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Pendral could not write ${what}." /SD IDOK
    Abort
  ${EndIf}
!macroend

; The system folder's file, the mapping, the uninstaller and the Add/Remove entry.
Function InstallMachineWide
  ClearErrors
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
  !insertmacro StopOnErrors "$SYSDIR\${SAVER_FILE}"
  ; The Windows 95 family has no mapping: its CONTROL.INI is writable.
  ${If} ${IsNT}
    !insertmacro InEveryRegView `WriteRegStr HKLM "${MAPPING_KEY}" "${MAPPING_NAME}" "${MAPPING_DATA}"`
  ${EndIf}

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
  !insertmacro StopOnErrors "its uninstaller or its registry entries"
  ; What it takes on disk in KiB: the folder (README and uninstaller) and the saver.
  ; After the check above, which GetSize's error flag would otherwise trip.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  !insertmacro IfSixtyFourBit
    IntOp $0 $0 + ${SCR64_KIB}
  ${Else}
    IntOp $0 $0 + ${SCR32_KIB}
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

; The user's part: Pendral becomes this user's screen saver, switched on. The earlier
; choice is kept in this user's HKCU for the uninstaller; installing again over
; Pendral keeps the choice from before the first installation.
Function ChoosePendral
  ; The Windows 95 family's programs read SYSTEM.INI as short names.
  StrCpy $1 "$SYSDIR\${SAVER_FILE}"
  ${IfNot} ${IsNT}
    GetFullPathName /SHORT $2 $1
    ${If} $2 != ""
      StrCpy $1 $2
    ${EndIf}
  ${EndIf}
  Call ReadChosenSaver
  Pop $0
  ${GetFileName} $0 $2
  ${If} $2 != "${SAVER_FILE}"
    WriteRegStr HKCU "${USER_KEY}" "PreviousScreenSaver" "$0"
    System::Call 'user32::SystemParametersInfoA(i ${SPI_GETSCREENSAVEACTIVE}, i 0, *i 0 r3, i 0)'
    WriteRegDWORD HKCU "${USER_KEY}" "PreviousScreenSaveActive" $3
  ${EndIf}
  Push $1
  Call ChooseSaver
  System::Call 'user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_SAVE_AND_TELL})'
  DetailPrint "Pendral is now the screen saver: $1"
FunctionEnd

Section "Pendral"
  ${If} ${IsNT}
  ${AndIf} $MachinePart = 0
    Call RunMachinePart
  ${Else}
    Call InstallMachineWide
  ${EndIf}
  ${If} $MachinePart = 0
    ${IfNot} ${IsNT}
      !insertmacro RequireMachinePartDone "" installed
    ${EndIf}
    Call ChoosePendral
  ${EndIf}
SectionEnd

; The machine-wide part of the removal: the file, the mapping, the uninstaller and the
; Add/Remove entry.
Function un.RemoveMachineWide
  !insertmacro IfSixtyFourBit
    ${DisableX64FSRedirection}
    Delete /REBOOTOK "$SYSDIR\${SAVER_FILE}"
    ${EnableX64FSRedirection}
  ${Else}
    Delete /REBOOTOK "$SYSDIR\${SAVER_FILE}"
  ${EndIf}
  IfRebootFlag 0 +2
    StrCpy $FileAtRestart 1
  ${If} ${IsNT}
    !insertmacro InEveryRegView `DeleteRegValue HKLM "${MAPPING_KEY}" "${MAPPING_NAME}"`
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
FunctionEnd

; The user's part of the removal. The earlier choice comes back only while Pendral is
; still this user's choice: a screen saver chosen since is the user's own decision.
; Then the setup's own values go; the saver's settings stay.
Function un.RestoreEarlierChoice
  Call un.ReadChosenSaver
  Pop $0
  ${GetFileName} $0 $2
  ${If} $2 == "${SAVER_FILE}"
    ReadRegStr $1 HKCU "${USER_KEY}" "PreviousScreenSaver"
    Push $1
    Call un.ChooseSaver
    ClearErrors
    ReadRegDWORD $3 HKCU "${USER_KEY}" "PreviousScreenSaveActive"
    ${IfNot} ${Errors}
      System::Call 'user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i r3, i 0, i ${SPIF_SAVE_AND_TELL})'
    ${EndIf}
    ${If} $1 == ""
      StrCpy $1 "none"
    ${EndIf}
    DetailPrint "Screen saver put back: $1"
  ${EndIf}
  DeleteRegValue HKCU "${USER_KEY}" "PreviousScreenSaver"
  DeleteRegValue HKCU "${USER_KEY}" "PreviousScreenSaveActive"
  DeleteRegKey /ifempty HKCU "${USER_KEY}"
FunctionEnd

Section "Uninstall"
  ${If} ${IsNT}
  ${AndIf} $MachinePart = 0
    Call un.RunMachinePart
    ${If} $FileAtRestart = 1
      DetailPrint "$SYSDIR\${SAVER_FILE} is deleted when Windows starts again."
    ${EndIf}
    Call un.RestoreEarlierChoice
  ${Else}
    Call un.RemoveMachineWide
    !insertmacro RequireMachinePartDone "un." removed
    ${If} ${IsNT}
      ${If} $FileAtRestart = 1
        SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
      ${EndIf}
    ${Else}
      Call un.RestoreEarlierChoice
    ${EndIf}
  ${EndIf}
SectionEnd

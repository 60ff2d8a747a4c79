; The Tessaly installer. It puts Tessaly.exe into Program Files (the 64-bit program on 64-bit
; Windows, the 32-bit one elsewhere), adds a Start-menu shortcut and an uninstaller, and on the
; user's request starts Tessaly with Windows. The user's settings, under HKCU\Software\Dovrel,
; belong to the user: neither the installer nor the uninstaller touches them.
;
; Built by the packaging's windows_packages target:
;   makensis -DVERSION=1.0 -DFILE_VERSION=1.0.0.0 -DCOPYRIGHT=... -DICON=tessaly.ico
;            -DEXE_I686=... -DEXE_X86_64=... -DOUTFILE=... tessaly.nsi
; With -DAMD64 the installer is itself a 64-bit program that carries only the 64-bit Tessaly.exe.
;
; Silent use: Setup.exe /S [/AUTOSTART] [/D=folder]; Uninstall.exe /S.

Unicode true
!ifdef AMD64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include x64.nsh
!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define PUBLISHER "The Tessaly developers"

; A program whose version block says another version than the installer would show one version
; in its about box and another in the list of installed programs.
!macro CheckProgramVersion FILE
  !getdllversion "${FILE}" PROGRAM_VERSION_
  !if "${PROGRAM_VERSION_1}.${PROGRAM_VERSION_2}" != "${VERSION}"
    !error "${FILE} has version ${PROGRAM_VERSION_1}.${PROGRAM_VERSION_2}, the installer ${VERSION}"
  !endif
  !undef PROGRAM_VERSION_1
  !undef PROGRAM_VERSION_2
  !undef PROGRAM_VERSION_3
  !undef PROGRAM_VERSION_4
!macroend
!insertmacro CheckProgramVersion "${EXE_X86_64}"
!ifndef AMD64
  !insertmacro CheckProgramVersion "${EXE_I686}"
!endif

Name "Tessaly"
OutFile "${OUTFILE}"
BrandingText "Tessaly Version ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Tessaly"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Tessaly Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tessaly.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tessaly now"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; On 64-bit Windows the uninstall entry belongs in the 64-bit registry view. A 64-bit installer
; knows that it runs there; the 32-bit one asks.
!macro UseTheNativeRegistryView
!ifdef AMD64
  SetRegView 64
!else
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!endif
!macroend

; Removes the start with Windows, but only an entry that starts this copy of Tessaly.
!macro RemoveOwnRunEntry
  ReadRegStr $0 HKCU "${RUN_KEY}" "Tessaly"
  ${If} $0 == '"$INSTDIR\Tessaly.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "Tessaly"
  ${EndIf}
!macroend

Section "Tessaly" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
!ifdef AMD64
  File "/oname=Tessaly.exe" "${EXE_X86_64}"
!else
  ${If} ${RunningX64}
    File "/oname=Tessaly.exe" "${EXE_X86_64}"
  ${Else}
    File "/oname=Tessaly.exe" "${EXE_I686}"
  ${EndIf}
!endif
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tessaly.lnk" "$INSTDIR\Tessaly.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tessaly"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Tessaly.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start Tessaly with Windows" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Tessaly" '"$INSTDIR\Tessaly.exe"'
SectionEnd

; A repair or an update on which the user left the start with Windows unticked takes it away.
Section "-Start with Windows only as chosen"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    !insertmacro RemoveOwnRunEntry
  ${EndIf}
SectionEnd

Function .onInit
  SetShellVarContext all
  !insertmacro UseTheNativeRegistryView
  ; An update goes where the last install went, unless /D names another folder.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
!ifdef AMD64
    StrCpy $INSTDIR "$PROGRAMFILES64\Tessaly"
!else
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\Tessaly"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\Tessaly"
    ${EndIf}
!endif
  ${EndIf}
  ; The start with Windows is offered ticked only when the user asked for it: with /AUTOSTART
  ; on the command line, or by having chosen it at an earlier install.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Tessaly"
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AUTOSTART" $2
  ${IfNot} ${Errors}
  ${OrIf} $0 != ""
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  !insertmacro UseTheNativeRegistryView
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Tessaly.lnk"
  !insertmacro RemoveOwnRunEntry
  Delete "$INSTDIR\Tessaly.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

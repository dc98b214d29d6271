; The Windows setup: ZarnoLaunch-<version>-setup.exe.  It installs the launcher
; for the current user (no administrator), registers it through the launcher's
; own "-install", adds an entry to Settings > Apps and has a silent mode (/S)
; for game installers.  Made by cmake/Setup.cmake:
;
;   makensis -DVERSION=1.2.3 -DLAUNCHER=ZarnoLaunch.exe -DICON=zarnolaunch.ico
;            -DOUTFILE=ZarnoLaunch-1.2.3-setup.exe zarnolaunch-setup.nsi
;
; Exit codes, of the setup and of the uninstaller: 0 done; 1 cancelled by the
; user; 2 failed (the reason is in the log); 3 (setup only) Zarnok is not
; installed.  Each run writes the log afresh; the launcher appends its own.

!ifndef VERSION | LAUNCHER | ICON | OUTFILE
  !error "VERSION, LAUNCHER, ICON and OUTFILE are given by cmake/Setup.cmake"
!endif

; Signatures: when the build signs, ZARNO_SIGN is the command that signs the
; file named after it (cmake/Release.cmake).  It signs the setup once made,
; and the uninstaller before the setup stores it; a failure stops the build.
!ifdef ZARNO_SIGN
  !finalize `${ZARNO_SIGN} "%1"` = 0
  !uninstfinalize `${ZARNO_SIGN} "%1"` = 0
!endif

Unicode true
SetCompressor /SOLID /FINAL lzma
; Per user: no elevation prompt, and $LOCALAPPDATA is the user's.
RequestExecutionLevel user
ManifestDPIAware true

!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarnoLaunch"
!define LOG "$TEMP\ZarnoLaunch-setup.log"
!define EXE "ZarnoLaunch.exe"
!define UNINSTALLER "uninstall.exe"
!define NOT_INSTALLED "Zarnok is not properly installed!  Please reinstall Zarnok."

Name "ZarnoLaunch ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
; A setup over an installed copy goes to that copy's folder; /D= still wins.
InstallDir "$LOCALAPPDATA\Programs\ZarnoLaunch"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText " "

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "ZarnoLaunch"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "ZarnoLaunch setup"
VIAddVersionKey /LANG=1033 "CompanyName" "ZarnoLaunch"
VIAddVersionKey /LANG=1033 "LegalCopyright" "ZarnoLaunch developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var previousDir   ; where the uninstall entry says a copy is, or ""
Var createdTop    ; the outermost folder this setup made, or ""
Var alertText     ; the launcher's last message, from the log

; --- the log -------------------------------------------------------------------

; The launcher writes its log in UTF-8; the lines the setup adds are ASCII, so
; the file stays in one encoding.
!macro logLine TEXT
  Push `${TEXT}`
  !ifdef __UNINSTALL__
    Call un.logLine
  !else
    Call logLine
  !endif
!macroend

!macro functions PREFIX
Function ${PREFIX}logLine
  Exch $R0
  Push $R1
  ClearErrors
  FileOpen $R1 "${LOG}" a
  IfErrors done
  FileSeek $R1 0 END
  FileWrite $R1 "$R0$\r$\n"
  FileClose $R1
done:
  Pop $R1
  Pop $R0
FunctionEnd

; Sets $alertText to the text of the last alert in the log: everything after
; the last "Alert text:  " to the end, which may run over several lines.  NSIS
; reads text files in the ANSI code page, so the bytes are decoded as UTF-8
; here; the lines are found first, by their ASCII start.
Function ${PREFIX}readAlertText
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $alertText ""
  ClearErrors
  FileOpen $R0 "${LOG}" r
  IfErrors done
  StrCpy $R1 -1
scan:
  FileSeek $R0 0 CUR $R2
  FileRead $R0 $R3
  IfErrors scanned
  StrCpy $R3 $R3 13
  StrCmp $R3 "Alert text:  " 0 scan
  IntOp $R1 $R2 + 13
  Goto scan
scanned:
  IntCmp $R1 0 0 close
  FileSeek $R0 $R1 SET
  ClearErrors
byte:
  FileReadByte $R0 $R2
  IfErrors close
  IntCmp $R2 0x0D byte
  IntCmp $R2 0x0A 0 +3 +3
  StrCpy $alertText "$alertText$\r$\n"
  Goto byte
  ; The length of the sequence from its first byte; $R3 counts what follows.
  IntCmp $R2 0x80 bad ascii 0
  IntCmp $R2 0xC0 lead2 bad 0
  IntCmp $R2 0xE0 lead3 lead2 0
  IntCmp $R2 0xF0 lead4 lead3 lead4
lead2:
  IntOp $R2 $R2 & 0x1F
  StrCpy $R3 1
  Goto more
lead3:
  IntOp $R2 $R2 & 0x0F
  StrCpy $R3 2
  Goto more
lead4:
  IntOp $R2 $R2 & 0x07
  StrCpy $R3 3
more:
  FileReadByte $R0 $R4
  IfErrors close
  IntOp $R4 $R4 & 0x3F
  IntOp $R2 $R2 << 6
  IntOp $R2 $R2 | $R4
  IntOp $R3 $R3 - 1
  IntCmp $R3 0 0 0 more
  IntCmp $R2 0x10000 0 ascii 0
  ; Beyond the first plane: a surrogate pair.
  IntOp $R2 $R2 - 0x10000
  IntOp $R3 $R2 >> 10
  IntOp $R3 $R3 + 0xD800
  IntFmt $R3 "%c" $R3
  StrCpy $alertText "$alertText$R3"
  IntOp $R2 $R2 & 0x3FF
  IntOp $R2 $R2 + 0xDC00
  Goto ascii
bad:
  StrCpy $R2 0xFFFD
ascii:
  IntFmt $R2 "%c" $R2
  StrCpy $alertText "$alertText$R2"
  Goto byte
close:
  FileClose $R0
  ; The text ends with the log's line end.
  StrCpy $R0 $alertText "" -2
  StrCmp $R0 "$\r$\n" 0 done
  StrCpy $alertText $alertText -2
done:
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro functions ""
!insertmacro functions "un."

; --- setup ---------------------------------------------------------------------

Function .onInit
  ReadRegStr $previousDir HKCU "${UNINSTALL_KEY}" "InstallLocation"
FunctionEnd

; Runs the installed launcher with one option, logging to the setup's log;
; its exit status goes to $0.
!macro runLauncher OPTION
  ExecWait `"$INSTDIR\${EXE}" -quiet -logfile "${LOG}" ${OPTION}` $0
!macroend

; Takes back what the setup and the launcher wrote: the launcher's
; registration, the files, the folders the setup made, and the uninstall entry
; when it was this folder's.
Function takeBack
  !insertmacro runLauncher -uninstall
  ; A folder that is a process's current directory cannot be removed.
  SetOutPath $TEMP
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  StrCmp $createdTop "" entry
  StrCpy $0 $INSTDIR
up:
  RMDir $0
  StrCmp $0 $createdTop entry
  ${GetParent} $0 $0
  StrCmp $0 "" entry up
entry:
  StrCmp $previousDir $INSTDIR 0 +2
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
FunctionEnd

; Ends the setup with a message, after taking everything back.
; The log line is ASCII; the launcher's message is in the log already.
!macro fail CODE TEXT LOGTEXT
  DetailPrint `${TEXT}`
  !insertmacro logLine `${LOGTEXT}`
  Call takeBack
  MessageBox MB_OK|MB_ICONSTOP `${TEXT}` /SD IDOK
  SetErrorLevel ${CODE}
  Abort
!macroend

Section
  Delete "${LOG}"
  !insertmacro logLine "ZarnoLaunch ${VERSION} setup"

  ; The outermost folder that does not exist yet, to take back on failure.
  StrCpy $createdTop ""
  StrCpy $0 $INSTDIR
missing:
  IfFileExists "$0\*.*" found
  StrCpy $createdTop $0
  ${GetParent} $0 $0
  StrCmp $0 "" found missing
found:

  SetOutPath $INSTDIR
  ; The launcher names itself by its full path in the open command; a folder
  ; given as /D=C:\Games\..\ZarnoLaunch is compared in that form.  (The path
  ; must exist for GetFullPathName.)
  GetFullPathName $INSTDIR $INSTDIR
  ; The outermost new folder too, so that taking back stops there and never
  ; walks up into the player's own folders.
  StrCmp $createdTop "" +2
  GetFullPathName $createdTop $createdTop
  File "/oname=${EXE}" "${LAUNCHER}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The exit status of "-install" is 1 even when it worked: whether it took is
  ; read from the registry, where the user's classes come before the machine's.
  DetailPrint "Registering ZarnoLaunch"
  !insertmacro runLauncher -install
  ReadRegStr $0 HKCU "Software\Classes\ZarnoLaunch\shell\open\command" ""
  StrCmp $0 "" 0 +2
  ReadRegStr $0 HKLM "Software\Classes\ZarnoLaunch\shell\open\command" ""
  StrCmp $0 `"$INSTDIR\${EXE}" "%1"` registered
  Call readAlertText
  StrCmp $alertText "${NOT_INSTALLED}" 0 otherFailure
  !insertmacro fail 3 "Install Zarnok first, then run this setup again." \
    "Setup failed: Install Zarnok first, then run this setup again."
otherFailure:
  StrCmp $alertText "" 0 +2
  StrCpy $alertText "ZarnoLaunch could not register itself."
  !insertmacro fail 2 $alertText "Setup failed: the registration did not take."

registered:
  !insertmacro logLine "Registered."
  ; Settings > Apps.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "ZarnoLaunch"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "ZarnoLaunch developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" `"$INSTDIR\${UNINSTALLER}"`
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" `"$INSTDIR\${UNINSTALLER}" /S`
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; EstimatedSize is in KiB.
  FileOpen $0 "$INSTDIR\${EXE}" r
  FileSeek $0 0 END $2
  FileClose $0
  FileOpen $0 "$INSTDIR\${UNINSTALLER}" r
  FileSeek $0 0 END $3
  FileClose $0
  IntOp $1 $2 + $3
  IntOp $1 $1 + 1023
  IntOp $1 $1 / 1024
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; A copy installed in another folder (/D=) is replaced, not kept beside:
  ; the new registration has taken over from it already.
  StrCmp $previousDir "" done
  StrCmp $previousDir $INSTDIR done
  IfFileExists "$previousDir\${EXE}" 0 done
  Delete "$previousDir\${EXE}"
  Delete "$previousDir\${UNINSTALLER}"
  RMDir $previousDir
done:
SectionEnd

; --- uninstaller ---------------------------------------------------------------

!macro unFail TEXT
  DetailPrint `${TEXT}`
  !insertmacro logLine "Uninstall failed."
  MessageBox MB_OK|MB_ICONSTOP `${TEXT}` /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

Section Uninstall
  Delete "${LOG}"
  !insertmacro logLine "ZarnoLaunch ${VERSION} uninstall"
  ; The launcher removes only its own registration: another copy's and the
  ; game's keys stay.
  IfFileExists "$INSTDIR\${EXE}" 0 files
  DetailPrint "Removing the registration"
  ClearErrors
  !insertmacro runLauncher -uninstall
  IfErrors unregisterFailed
  StrCmp $0 0 files
unregisterFailed:
  Call un.readAlertText
  StrCmp $alertText "" 0 +2
  StrCpy $alertText "ZarnoLaunch could not remove its registration."
  !insertmacro unFail $alertText
files:
  ClearErrors
  Delete "$INSTDIR\${EXE}"
  IfErrors 0 deleted
  !insertmacro unFail "ZarnoLaunch.exe is in use.  Close it and uninstall again."
deleted:
  Delete "$INSTDIR\${UNINSTALLER}"
  SetOutPath $TEMP
  RMDir $INSTDIR
  ; The entry goes only when it names this folder.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 $INSTDIR 0 +2
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  !insertmacro logLine "Uninstalled."
SectionEnd

; The Windows setup: ZarnoLaunch-<version>-setup.exe.  It installs the launcher
; for the current user (no administrator), or for all users when it was
; started elevated, registers it through the launcher's own "-install", adds
; an entry to Settings > Apps and has a silent mode (/S) for game installers.
; Made by cmake/Setup.cmake:
;
;   makensis -DVERSION=1.2.3 -DLAUNCHER=ZarnoLaunch.exe -DICON=zarnolaunch.ico
;            -DTRANSLATIONS=translations.nsh
;            -DOUTFILE=ZarnoLaunch-1.2.3-setup.exe zarnolaunch-setup.nsi
;
; The setup speaks the player's Windows display language, where it has it:
; English and the languages of resources/po, whose translations of the
; LangStrings below, and Modern UI's own pages, translations.nsh brings in
; (cmake/translations.py makes it).
;
; Exit codes, of the setup and of the uninstaller: 0 done; 1 cancelled by the
; user; 2 failed (the reason is in the log); 3 (setup only) Zarnok is not
; installed.  Each run writes the log afresh; the launcher appends its own.

!ifndef VERSION | LAUNCHER | LICENSE | NOTICES | ICON | OUTFILE | TRANSLATIONS
  !error "VERSION, LAUNCHER, LICENSE, NOTICES, ICON, OUTFILE and TRANSLATIONS are given by cmake/Setup.cmake"
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
; No elevation prompt: a player's setup installs for that player.  A game
; installer that runs elevated starts this one elevated, and then it installs
; for all users (see decideScope).
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarnoLaunch"
!define LOG "$TEMP\ZarnoLaunch-setup.log"
!define EXE "ZarnoLaunch.exe"
!define UNINSTALLER "Uninstall ZarnoLaunch.exe"
; The licence and the notices, under names of their own: the folder may be
; a game's, with a LICENSE.txt of the game's.
!define LICENSE_FILE "ZarnoLaunch LICENSE.txt"
!define NOTICES_FILE "ZarnoLaunch THIRD-PARTY-NOTICES.txt"
!macro deleteDocuments DIR
  Delete "${DIR}\${LICENSE_FILE}"
  Delete "${DIR}\${NOTICES_FILE}"
!macroend
; The launcher's own messages, as its log gives them.
!define NOT_INSTALLED "Zarnok is not properly installed!  Please reinstall Zarnok."
!define NOT_FOUND "Can't find Zarnok on your system!"
!define INSTALLED "ZarnoLaunch installed successfully!"

Name "ZarnoLaunch ${VERSION}"
OutFile "${OUTFILE}"
; The folder comes from /D=, else from the entry of an installed copy, else
; the default for the scope; see .onInit.  The folder page's Browse adds this
; one's last name to a folder chosen there.
InstallDir "$LOCALAPPDATA\Programs\ZarnoLaunch"
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText " "

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "ZarnoLaunch"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "ZarnoLaunch setup"
VIAddVersionKey /LANG=1033 "CompanyName" "ZarnoLaunch"
VIAddVersionKey /LANG=1033 "LegalCopyright" "ZarnoLaunch developers"

; --- pages ---------------------------------------------------------------------

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
; Our own picture at the left of the first and last pages (make-icon.py).
!define MUI_WELCOMEFINISHPAGE_BITMAP "${PICTURE}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${PICTURE}"

!define MUI_WELCOMEPAGE_TEXT "$(welcomeText)$\r$\n$\r$\n$(^ClickNext)"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE folderChosen
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; No "Run" box: the launcher has nothing to show on its own.
!define MUI_FINISHPAGE_TEXT "$(finishText)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(unFinishText)"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"
!include "${TRANSLATIONS}"
!insertmacro ZARNO_LANGUAGES

; --- what the player reads -------------------------------------------------------
; Every text of our own that a window or message box shows.  $R9 is the file
; or folder a message names; a comment "; Translators: " before a text says
; which, for the translators.  The log stays in English: its lines are
; written where they happen.

LangString welcomeText ${LANG_ENGLISH} "When you open a game server's .zarnok file or click its link on a web page, ZarnoLaunch starts Zarnok and joins that server."
LangString finishText ${LANG_ENGLISH} "ZarnoLaunch is installed. To join a server, open its .zarnok file or click its link on the server's web page."
LangString unFinishText ${LANG_ENGLISH} "ZarnoLaunch is removed from this computer. Zarnok itself stays installed."
LangString registering ${LANG_ENGLISH} "Registering ZarnoLaunch for .zarnok files and server links..."
LangString unregistering ${LANG_ENGLISH} "Removing ZarnoLaunch..."
LangString noGame ${LANG_ENGLISH} "Install Zarnok first, then run this setup again."
LangString noCheck ${LANG_ENGLISH} "The setup could not look for Zarnok."
LangString notRegistered ${LANG_ENGLISH} "ZarnoLaunch could not register itself."
LangString notUnregistered ${LANG_ENGLISH} "ZarnoLaunch could not remove its registration."
; Translators: $R9 is the full path of a file in the chosen folder.
LangString foreignFile ${LANG_ENGLISH} "$R9 is not from a ZarnoLaunch setup, and the setup does not replace it. Choose another folder."
LangString inUse ${LANG_ENGLISH} "ZarnoLaunch.exe is in use. Close ZarnoLaunch and its messages, then try again."
; Translators: $R9 is the folder the setup installs into.
LangString notWritten ${LANG_ENGLISH} "Setup could not write its files to $R9."
LangString notElevated ${LANG_ENGLISH} "Removing ZarnoLaunch for all users needs an administrator's permission, and it was not given. Nothing was removed. To remove ZarnoLaunch, run the uninstaller again and allow it when Windows asks."
; The same in the other languages.
!insertmacro ZARNO_LANGSTRINGS

; --- state ---------------------------------------------------------------------

Var allUsers      ; 1 when this copy is, or is to be, installed for all users
Var previousDir   ; where the uninstall entry says a copy is, or ""
Var previousUninstaller ; the program its UninstallString names, or ""
Var createdTop    ; the outermost folder this setup made, or ""
Var registered    ; 1 once the launcher's "-install" has run
Var alertText     ; the launcher's last message, from the log
Var shownText     ; the same as the player reads it, in the setup's language
Var asked         ; 1 in an uninstaller started again to get an administrator's rights

; --- shared by the setup and the uninstaller -----------------------------------

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

; Runs a launcher with its options, logging to the setup's log; its exit
; status goes to $0 ("" when it could not be started).  Its current folder is
; the temporary one: a program the launcher starts may outlive it (under Wine
; the menu builder does, when file associations change), and a folder that a
; process is in cannot be removed.
!macro runLauncher PROGRAM OPTIONS
  SetOutPath $TEMP
  StrCpy $0 ""
  ExecWait `"${PROGRAM}" -quiet -logfile "${LOG}" ${OPTIONS}` $0
!macroend

!macro functions PREFIX
; Traditional Chinese has no translation yet, and NSIS would take the
; Simplified one for it by the primary language alone: Windows in Chinese
; of Taiwan, Hong Kong or Macau gets English, as the launcher's boxes do.
Function ${PREFIX}chooseLanguage
  System::Call 'kernel32::GetUserDefaultUILanguage() i .r0'
  ${If} $0 = 0x0404
  ${OrIf} $0 = 0x0C04
  ${OrIf} $0 = 0x1404
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
FunctionEnd

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
; the last "Alert text:  " to the end, which may run over several lines, or
; up to a line "Shown text:  " after it, which gives the same text as the
; player reads it when that is not English; $shownText to that, or to the
; alert's text.  NSIS reads text files in the ANSI code page, so the bytes
; are decoded as UTF-8 here; the lines are found first, by their ASCII start.
Function ${PREFIX}readAlertText
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $alertText ""
  StrCpy $shownText ""
  ClearErrors
  FileOpen $R0 "${LOG}" r
  IfErrors done
  StrCpy $R1 -1
  StrCpy $R5 -1
  StrCpy $R6 -1
scan:
  FileSeek $R0 0 CUR $R2
  FileRead $R0 $R3
  IfErrors scanned
  StrCpy $R3 $R3 13
  ${If} $R3 == "Alert text:  "
    IntOp $R1 $R2 + 13
    StrCpy $R5 -1
    StrCpy $R6 -1
  ${ElseIf} $R3 == "Shown text:  "
  ${AndIf} $R1 >= 0
  ${AndIf} $R6 < 0
    StrCpy $R5 $R2
    IntOp $R6 $R2 + 13
  ${EndIf}
  Goto scan
scanned:
  ${If} $R1 >= 0
    Call ${PREFIX}decodeLog
    StrCpy $alertText $R7
    StrCpy $shownText $R7
  ${EndIf}
  ${If} $R6 >= 0
    StrCpy $R1 $R6
    StrCpy $R5 -1
    Call ${PREFIX}decodeLog
    StrCpy $shownText $R7
  ${EndIf}
  FileClose $R0
done:
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; For readAlertText: sets $R7 to the text of the open log $R0 from byte $R1
; to byte $R5 (-1: to the end), decoded from UTF-8, without its last line
; end; line ends become CR LF.  Uses $R2 to $R4.
Function ${PREFIX}decodeLog
  StrCpy $R7 ""
  FileSeek $R0 $R1 SET
  ClearErrors
byte:
  ${If} $R5 >= 0
    FileSeek $R0 0 CUR $R2
    IntCmp $R2 $R5 end 0 end
  ${EndIf}
  FileReadByte $R0 $R2
  IfErrors end
  IntCmp $R2 0x0D byte
  IntCmp $R2 0x0A 0 +3 +3
  StrCpy $R7 "$R7$\r$\n"
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
  IfErrors end
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
  StrCpy $R7 "$R7$R3"
  IntOp $R2 $R2 & 0x3FF
  IntOp $R2 $R2 + 0xDC00
  Goto ascii
bad:
  StrCpy $R2 0xFFFD
ascii:
  IntFmt $R2 "%c" $R2
  StrCpy $R7 "$R7$R2"
  Goto byte
end:
  ; The text ends with the log's line end.
  StrCpy $R2 $R7 "" -2
  StrCmp $R2 "$\r$\n" 0 +2
  StrCpy $R7 $R7 -2
FunctionEnd

; Sets $0 to 1 when this process holds an administrator's full rights:
; started elevated, or by an administrator with User Account Control off.
Function ${PREFIX}isElevated
  StrCpy $0 0
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r1) i .r2'
  ${If} $2 <> 0
    ; 20 is TokenElevation: one DWORD, TokenIsElevated.
    System::Call 'advapi32::GetTokenInformation(p r1, i 20, *i .r0, i 4, *i .r2) i .r2'
    ${IfThen} $2 = 0 ${|} StrCpy $0 0 ${|}
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  ${IfThen} $0 <> 0 ${|} StrCpy $0 1 ${|}
FunctionEnd

; Sets $0 to 1 when $INSTDIR\ZarnoLaunch.exe is there and cannot be opened
; for writing: a running program's file cannot, and neither can one that
; another program holds open.  Nothing is written.
Function ${PREFIX}checkInUse
  StrCpy $0 0
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    ClearErrors
    FileOpen $1 "$INSTDIR\${EXE}" a
    ${If} ${Errors}
      StrCpy $0 1
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro functions ""
!insertmacro functions "un."

; Shows a plain status line above the progress bar; the details list, with
; its command lines, stays empty.
!macro status TEXT
  SetDetailsPrint textonly
  DetailPrint `${TEXT}`
  SetDetailsPrint none
!macroend

; Ends the run with a message box (not under /S), a line in the log and an
; exit code.  TEXT is what the player reads, also on the progress page after
; it; LOGTEXT is the log's English line.
!macro endRun CODE TEXT LOGTEXT
  !insertmacro logLine `${LOGTEXT}`
  !insertmacro status `${TEXT}`
  MessageBox MB_OK|MB_ICONSTOP `${TEXT}` /SD IDOK
  SetErrorLevel ${CODE}
!macroend

; --- setup ---------------------------------------------------------------------

; An elevated setup installs for all users, so that the registration for
; every user, which the launcher writes when it may, names a file every user
; can reach.  With User Account Control off, as in Wine's prefixes (whose
; every process holds a full administrator's token), the token cannot tell a
; setup that was started elevated from one a player double-clicked, so it
; installs per user as everywhere else.
Function decideScope
  StrCpy $allUsers 0
  ReadRegDWORD $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Policies\System" "EnableLUA"
  ${If} $0 != ""
  ${AndIf} $0 <> 0
    Call isElevated
    StrCpy $allUsers $0
  ${EndIf}
  ${If} $allUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Turns the command in $0 into the program it names: what stands between its
; quotes when it begins with one, else the whole command.
Function commandProgram
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrLen $2 $0
    StrCpy $1 0
    ${Do}
      ${If} $1 >= $2
        ${Break}
      ${EndIf}
      StrCpy $3 $0 1 $1
      ${If} $3 == '"'
        StrCpy $0 $0 $1
        ${Break}
      ${EndIf}
      IntOp $1 $1 + 1
    ${Loop}
  ${EndIf}
FunctionEnd

; Sets $2 to what the launcher's last message says: "installed", "no game",
; or "" for anything else.  Its first line counts: a message may go on with
; advice for the player.
Function alertKind
  StrCpy $3 0
  ${Do}
    StrCpy $4 $alertText 1 $3
    ${IfThen} $4 == "" ${|} ${Break} ${|}
    ${IfThen} $4 == "$\r" ${|} ${Break} ${|}
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $4 $alertText $3
  StrCpy $2 ""
  ${If} $4 == "${INSTALLED}"
    StrCpy $2 "installed"
  ${ElseIf} $4 == "${NOT_INSTALLED}"
  ${OrIf} $4 == "${NOT_FOUND}"
    StrCpy $2 "no game"
  ${EndIf}
FunctionEnd

; Sets VAR to 1 when the classes under ROOT hold the key ZarnoLaunch, else 0.
!macro classesKeyExists ROOT VAR
  ClearErrors
  EnumRegValue ${VAR} ${ROOT} "Software\Classes\ZarnoLaunch" 0
  ${If} ${Errors}
    StrCpy ${VAR} 0
  ${Else}
    StrCpy ${VAR} 1
  ${EndIf}
!macroend

; Looks for the game with the launcher's own lookup before anything is
; written: the launcher, unpacked to the setup's temporary folder, is asked to
; open a link file made there without starting the game (-launch).  Status 0
; means it found the game.  The lookup remembers a game path it had to derive
; under the class key ZarnoLaunch; a key that only this check made is taken
; back, so that a cancelled setup leaves the registry as it was.
Function checkGame
  InitPluginsDir
  File "/oname=$PLUGINSDIR\${EXE}" "${LAUNCHER}"
  FileOpen $0 "$PLUGINSDIR\check.zarnok" w
  FileWrite $0 "[ZarnoLaunch]$\r$\nServer=check.zarnok.invalid:7777$\r$\n"
  FileClose $0
  !insertmacro classesKeyExists HKCU $R0
  !insertmacro classesKeyExists HKLM $R1
  !insertmacro runLauncher "$PLUGINSDIR\${EXE}" `-launch "$PLUGINSDIR\check.zarnok"`
  StrCpy $R2 $0
  ${If} $R0 = 0
    DeleteRegKey HKCU "Software\Classes\ZarnoLaunch"
  ${EndIf}
  ${If} $R1 = 0
    DeleteRegKey HKLM "Software\Classes\ZarnoLaunch"
  ${EndIf}
  ${If} $R2 == 0
    Return
  ${EndIf}
  Call readAlertText
  Call alertKind
  ${If} $2 == "no game"
    !insertmacro endRun 3 "$(noGame)" "Setup failed: Install Zarnok first, then run this setup again."
  ${ElseIf} $alertText == ""
    !insertmacro endRun 2 "$(noCheck)" "Setup failed: the launcher could not look for Zarnok."
  ${Else}
    StrCpy $R9 $shownText
    !insertmacro endRun 2 "$(noCheck)$\r$\n$\r$\n$R9" "Setup failed: the launcher could not look for Zarnok."
  ${EndIf}
  Quit
FunctionEnd

Function .onInit
  Call chooseLanguage
  ; /D= gives $INSTDIR before this runs; otherwise the installed copy's
  ; folder, or the default for the scope.
  ${If} $INSTDIR == "$LOCALAPPDATA\Programs\ZarnoLaunch"
    StrCpy $INSTDIR ""
  ${EndIf}
  Call decideScope
  ReadRegStr $previousDir SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "UninstallString"
  Call commandProgram
  StrCpy $previousUninstaller $0
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR $previousDir
  ${EndIf}
  ${If} $INSTDIR == ""
  ${AndIf} $allUsers = 1
    StrCpy $INSTDIR "$PROGRAMFILES\ZarnoLaunch"
  ${ElseIf} $INSTDIR == ""
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\ZarnoLaunch"
  ${EndIf}

  Delete "${LOG}"
  !insertmacro logLine "ZarnoLaunch ${VERSION} setup"
  ${If} $allUsers = 1
    !insertmacro logLine "Installing for all users."
  ${EndIf}
  Call checkGame
FunctionEnd

; Sets $R9 to a file in $INSTDIR that the setup would replace although no
; ZarnoLaunch setup put it there, or to "".  A copy is ours when an uninstall
; entry, the user's or the machine's, names its folder.
Function findForeignFile
  StrCpy $R9 ""
  StrCpy $0 $INSTDIR
  ${If} ${FileExists} "$INSTDIR\*.*"
    ; Compared in the form the entries were written in.
    GetFullPathName $0 $INSTDIR
  ${EndIf}
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $0
  ${OrIf} $2 == $0
    Return
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    StrCpy $R9 "$0\${EXE}"
  ${ElseIf} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    StrCpy $R9 "$0\${UNINSTALLER}"
  ${EndIf}
FunctionEnd

; The folder page: a folder that holds another program's file is not taken.
Function folderChosen
  Call findForeignFile
  ${If} $R9 != ""
    MessageBox MB_OK|MB_ICONSTOP "$(foreignFile)"
    Abort
  ${EndIf}
FunctionEnd

; Takes back what the setup and the launcher wrote: the launcher's
; registration, the files, the folders the setup made, and the uninstall entry
; when it was this folder's (with the uninstaller that entry named).
Function takeBack
  ${If} $registered = 1
    !insertmacro runLauncher "$INSTDIR\${EXE}" -uninstall
  ${EndIf}
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  !insertmacro deleteDocuments "$INSTDIR"
  ${If} $previousDir == $INSTDIR
    ${If} $previousUninstaller == "$INSTDIR\uninstall.exe"
      Delete $previousUninstaller
    ${EndIf}
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    RMDir $INSTDIR
  ${EndIf}
  StrCmp $createdTop "" done
  StrCpy $0 $INSTDIR
up:
  RMDir $0
  StrCmp $0 $createdTop done
  ${GetParent} $0 $0
  StrCmp $0 "" done up
done:
FunctionEnd

; Ends the setup after taking everything back.
!macro fail CODE TEXT LOGTEXT
  Call takeBack
  !insertmacro endRun ${CODE} `${TEXT}` `${LOGTEXT}`
  Abort
!macroend

Section
  SetDetailsPrint none
  StrCpy $registered 0
  StrCpy $createdTop ""

  ; Nothing is written yet: a file that is not ours, or our launcher in use,
  ; ends the setup here.
  Call findForeignFile
  ${If} $R9 != ""
    !insertmacro endRun 2 "$(foreignFile)" "Setup failed: $R9 is not from a ZarnoLaunch setup."
    Abort
  ${EndIf}
  Call checkInUse
  ${If} $0 = 1
    !insertmacro endRun 2 "$(inUse)" "Setup failed: ZarnoLaunch.exe is in use."
    Abort
  ${EndIf}

  ; The outermost folder that does not exist yet, to take back on failure.
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
  ClearErrors
  File "/oname=${EXE}" "${LAUNCHER}"
  File "/oname=${LICENSE_FILE}" "${LICENSE}"
  File "/oname=${NOTICES_FILE}" "${NOTICES}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    StrCpy $R9 $INSTDIR
    !insertmacro fail 2 "$(notWritten)" "Setup failed: the files could not be written."
  ${EndIf}

  ; The exit status of "-install" is 1 even when it worked.  It took when the
  ; launcher says so at the end of its log and the open command, as the
  ; registry shows it to this user (the machine's to all users), names the
  ; installed launcher.
  !insertmacro status "$(registering)"
  StrCpy $registered 1
  !insertmacro runLauncher "$INSTDIR\${EXE}" -install
  Call readAlertText
  StrCpy $1 ""
  ${If} $allUsers = 0
    ReadRegStr $1 HKCU "Software\Classes\ZarnoLaunch\shell\open\command" ""
  ${EndIf}
  ${If} $1 == ""
    ReadRegStr $1 HKLM "Software\Classes\ZarnoLaunch\shell\open\command" ""
  ${EndIf}
  Call alertKind
  ${If} $2 != "installed"
  ${OrIf} $1 != `"$INSTDIR\${EXE}" "%1"`
    ${If} $2 == "no game"
      !insertmacro fail 3 "$(noGame)" "Setup failed: Install Zarnok first, then run this setup again."
    ${ElseIf} $alertText == ""
    ${OrIf} $2 == "installed"
      !insertmacro fail 2 "$(notRegistered)" "Setup failed: the registration did not take."
    ${EndIf}
    StrCpy $R9 $shownText
    !insertmacro fail 2 "$R9" "Setup failed: the registration did not take."
  ${EndIf}
  !insertmacro logLine "Registered."

  ; Settings > Apps.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "ZarnoLaunch"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "ZarnoLaunch developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" `"$INSTDIR\${UNINSTALLER}"`
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" `"$INSTDIR\${UNINSTALLER}" /S`
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
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
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; The earlier copy's uninstaller, when its entry named one of another name
  ; (1.0.0's "uninstall.exe"); a file the entry does not name is not ours.
  ${If} $previousUninstaller != "$INSTDIR\${UNINSTALLER}"
  ${AndIf} $previousUninstaller == "$previousDir\uninstall.exe"
  ${AndIf} $previousDir == $INSTDIR
    Delete $previousUninstaller
  ${EndIf}

  ; A copy installed in another folder (/D=) is replaced, not kept beside:
  ; the new registration has taken over from it already.
  ${If} $previousDir != ""
  ${AndIf} $previousDir != $INSTDIR
  ${AndIf} ${FileExists} "$previousDir\${EXE}"
    Delete "$previousDir\${EXE}"
    !insertmacro deleteDocuments "$previousDir"
    ${If} $previousUninstaller == "$previousDir\${UNINSTALLER}"
    ${OrIf} $previousUninstaller == "$previousDir\uninstall.exe"
      Delete $previousUninstaller
    ${EndIf}
    RMDir $previousDir
  ${EndIf}
SectionEnd

; --- uninstaller ---------------------------------------------------------------

; A copy is for all users when the machine's entry names its folder.  The
; log is begun here, before any page, unless this run was started by another
; run of the uninstaller, which began it.
Function un.onInit
  Call un.chooseLanguage
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/elevated" $1
  StrCpy $asked 1
  ${IfThen} ${Errors} ${|} StrCpy $asked 0 ${|}
  ${If} $asked = 0
    Delete "${LOG}"
    !insertmacro logLine "ZarnoLaunch ${VERSION} uninstall"
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $allUsers 1
    SetShellVarContext all
    Call un.askForAdministrator
  ${Else}
    StrCpy $allUsers 0
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Only an administrator may remove a copy for all users.  Without an
; administrator's rights the uninstaller asks for them, as machine-wide
; uninstallers do: it starts itself again through the "runas" verb, for
; which Windows asks the player to allow it (or for an administrator's
; password), waits for that run and ends with its exit code.  That run is
; marked "/elevated": should it hold no administrator's rights either (with
; User Account Control off, or under Wine, "runas" starts a program with the
; caller's own rights), it says so rather than ask again.  Exit code 1 when
; the player refused, 2 when the rights could not be had otherwise.
Function un.askForAdministrator
  Call un.isElevated
  ${IfThen} $0 = 1 ${|} Return ${|}
  StrCpy $R4 0
  ${If} $asked = 0
    !insertmacro logLine "Asking for an administrator's rights."
    StrCpy $R1 "/elevated _?=$INSTDIR"
    ${IfThen} ${Silent} ${|} StrCpy $R1 "/S $R1" ${|}
    ; SHELLEXECUTEINFOW, with SEE_MASK_NOCLOSEPROCESS and SW_SHOWNORMAL; its
    ; last member is the process started.
    System::Call '*(&l4, i 0x40, p 0, w "runas", w "$EXEPATH", w R1, p 0, i 1, p, p, p, p, i, p, p) p .R2'
    System::Call 'shell32::ShellExecuteExW(p R2) i .R3 ?e'
    Pop $R4
    ${If} $R3 <> 0
      System::Call '*$R2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .R5)'
      System::Free $R2
      System::Call 'kernel32::WaitForSingleObject(p R5, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p R5, *i .R6)'
      System::Call 'kernel32::CloseHandle(p R5)'
      SetErrorLevel $R6
      Quit
    ${EndIf}
    System::Free $R2
  ${EndIf}
  ; 1223: ERROR_CANCELLED, the player said no.
  ${If} $R4 = 1223
    !insertmacro endRun 1 "$(notElevated)" "Uninstall cancelled: an administrator's rights were refused."
  ${ElseIf} $asked = 1
    !insertmacro endRun 2 "$(notElevated)" "Uninstall failed: started again, still without an administrator's rights."
  ${Else}
    !insertmacro endRun 2 "$(notElevated)" "Uninstall failed: it could not be started again as an administrator (error $R4)."
  ${EndIf}
  Quit
FunctionEnd

!macro unFail TEXT LOGTEXT
  !insertmacro endRun 2 `${TEXT}` `${LOGTEXT}`
  Abort
!macroend

Section Uninstall
  SetDetailsPrint none
  !insertmacro status "$(unregistering)"
  ; Before anything is removed: a running launcher keeps its file, and the
  ; registration must not go while the file stays.
  Call un.checkInUse
  ${If} $0 = 1
    !insertmacro unFail "$(inUse)" "Uninstall failed: ZarnoLaunch.exe is in use."
  ${EndIf}
  ; The launcher removes only its own registration: another copy's and the
  ; game's keys stay.
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    !insertmacro runLauncher "$INSTDIR\${EXE}" -uninstall
    ${If} $0 != 0
      Call un.readAlertText
      StrCpy $R9 $shownText
      ${If} $R9 == ""
        StrCpy $R9 "$(notUnregistered)"
      ${EndIf}
      !insertmacro unFail "$R9" "Uninstall failed."
    ${EndIf}
  ${EndIf}
  ClearErrors
  Delete "$INSTDIR\${EXE}"
  ${If} ${Errors}
    !insertmacro unFail "$(inUse)" "Uninstall failed: ZarnoLaunch.exe is in use."
  ${EndIf}
  !insertmacro deleteDocuments "$INSTDIR"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir $INSTDIR
  ; The entry goes only when it names this folder.
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
  !insertmacro logLine "Uninstalled."
SectionEnd

; Installer of the two plug-ins: copies in_quorvo.dll and gen_quorvo.dll into
; the Plugins folder of the player and writes an uninstaller beside
; winamp.exe. UTF-8 with a byte-order mark; scripts/dist.sh builds it.
;
; Defines (makensis -D...): VERSION, DLL_DIR (folder of the two DLLs),
; OUTFILE, TARGET (x86-unicode, the shipped one, by default; amd64-unicode
; lets the tests run it under a 64-bit Wine).

Unicode true
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "QZS Audio CD Player plug-in"
!define UNINSTALLER "quorvo-uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvo"
!define PLAYER_CLASS "Winamp v1.x"
!define PLAYER_UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"

Name "${PRODUCT} Ver.${VERSION}"
OutFile "${OUTFILE}"
; Program Files and the Add/Remove Programs entry need an administrator.
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText " "
; No InstallDir: .onInit tells a folder given with /D= from none and then
; looks for the player itself.

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "インストール先として Winamp のフォルダー (winamp.exe のあるフォルダー) を指定してください。プラグインはその中の Plugins フォルダーにコピーされます。$\r$\n$\r$\nインストールの前に Winamp を終了してください。"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp のフォルダー"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "インストールが完了しました"
!define MUI_FINISHPAGE_TEXT "in_quorvo.dll と gen_quorvo.dll を $INSTDIR\Plugins にコピーしました。$\r$\n$\r$\nWinamp を起動し、環境設定の「プラグイン」→「入力」で Winamp 標準の CD プラグイン (in_cdda.dll) を無効にしてください。音楽 CD の曲が in_quorvo.dll で再生されるようになります。"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT} Ver.${VERSION} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" " "

; A plug-in DLL that the player has loaded can be neither replaced nor
; removed: wait until the user has closed the player, or give up. A silent
; run gives up at once (exit code 2).
!macro PLAYER_CHECK prefix
Function ${prefix}CloseThePlayer
  check:
  FindWindow $0 "${PLAYER_CLASS}"
  ${If} $0 <> 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp が起動しています。$\r$\nWinamp を終了してから [再試行] を押してください。" /SD IDCANCEL IDRETRY check
    DetailPrint "Winamp が起動しているため中止しました。"
    Abort
  ${EndIf}
FunctionEnd
!macroend
!insertmacro PLAYER_CHECK ""
!insertmacro PLAYER_CHECK "un."

; The folder of the player's executable from a command line such as
; "C:\Program Files\Winamp\UninstWA.exe" (quoted or not).
Function FolderOfCommand
  Exch $0
  Push $1
  Push $2
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $1 0
    ${Do}
      StrCpy $2 $0 1 $1
      ${IfThen} $2 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      IntOp $1 $1 + 1
    ${Loop}
    StrCpy $0 $0 $1
  ${EndIf}
  ${GetParent} $0 $0
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

Function .onInit
  ; The player is a 32-bit program: read its keys, and write ours, where a
  ; 32-bit program sees them, whichever installer this is.
  SetRegView 32
  ${If} $INSTDIR != ""
    Return  ; /D=
  ${EndIf}
  ; The player stores its folder as the default value of HKCU\Software\Winamp.
  ReadRegStr $0 HKCU "Software\Winamp" ""
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\winamp.exe"
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  ; Its uninstaller's entry names a program in the same folder.
  ReadRegStr $0 HKLM "${PLAYER_UNINST_KEY}" "UninstallString"
  ${If} $0 != ""
    Push $0
    Call FolderOfCommand
    Pop $0
    ${If} ${FileExists} "$0\winamp.exe"
      StrCpy $INSTDIR $0
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
FunctionEnd

Function DirectoryLeave
  ; The Plugins folder itself chosen: its parent is the player's folder.
  ${GetFileName} $INSTDIR $0
  ${GetParent} $INSTDIR $1
  ${If} $0 == "Plugins"
  ${AndIf} ${FileExists} "$1\winamp.exe"
    StrCpy $INSTDIR $1
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "このフォルダーには winamp.exe がありません。$\r$\n$INSTDIR$\r$\n$\r$\nこのフォルダーにインストールしますか？" IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Section "Install"
  ; Unattended, only a folder that holds the player will do.
  ${If} ${Silent}
  ${AndIfNot} ${FileExists} "$INSTDIR\winamp.exe"
    DetailPrint "$INSTDIR に winamp.exe がありません。"
    Abort
  ${EndIf}
  Call CloseThePlayer
  SetOutPath "$INSTDIR\Plugins"
  SetOverwrite on
  File "${DLL_DIR}/in_quorvo.dll"
  File "${DLL_DIR}/gen_quorvo.dll"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT} Ver.${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\winamp.exe"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR\Plugins" "/M=*_quorvo.dll /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 32
FunctionEnd

Section "Uninstall"
  Call un.CloseThePlayer
  Delete "$INSTDIR\Plugins\in_quorvo.dll"
  Delete "$INSTDIR\Plugins\gen_quorvo.dll"
  ${If} ${FileExists} "$INSTDIR\Plugins\in_quorvo.dll"
  ${OrIf} ${FileExists} "$INSTDIR\Plugins\gen_quorvo.dll"
    MessageBox MB_OK|MB_ICONSTOP "プラグインを削除できませんでした。Winamp を終了してから、もう一度アンインストールしてください。" /SD IDOK
    Abort
  ${EndIf}
  ; The titles found on CDDB: kept unless the user asks otherwise, so that
  ; a later installation finds them again. The plug-in keeps them in the
  ; player's settings folder: the user's profile, or the player's own
  ; folder where it keeps its settings there; older versions beside the
  ; plug-in. The settings themselves stay in the player's winamp.ini.
  SetShellVarContext current
  ${If} ${FileExists} "$APPDATA\Winamp\cddb_cache.dat"
  ${OrIf} ${FileExists} "$INSTDIR\cddb_cache.dat"
  ${OrIf} ${FileExists} "$INSTDIR\Plugins\cddb_cache.dat"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "CDDB から取得した曲名のキャッシュ (cddb_cache.dat) も削除しますか？$\r$\n$\r$\n[いいえ] を選ぶと残します。もう一度インストールしたときにそのまま使えます。" /SD IDNO IDNO keep_cache
      Delete "$APPDATA\Winamp\cddb_cache.dat"
      Delete "$INSTDIR\cddb_cache.dat"
      Delete "$INSTDIR\Plugins\cddb_cache.dat"
    keep_cache:
  ${EndIf}
  ; A notice about a save that failed, waiting for the next start.
  DeleteRegKey HKCU "Software\in_quorvo"
  ; Started from the player's folder, the uninstaller runs as a copy in the
  ; temporary folder and removes the original, which may still be closing.
  ; Run in place (_?=), it cannot remove itself.
  Delete "$INSTDIR\${UNINSTALLER}"
  ${If} $EXEDIR != $INSTDIR
    ${For} $1 1 20
      ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
        ${Break}
      ${EndIf}
      Sleep 250
      Delete "$INSTDIR\${UNINSTALLER}"
    ${Next}
    Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
  ${EndIf}
  ; The entry names the installation made last; one in another player
  ; folder keeps it.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${UNINST_KEY}"
  ${EndIf}
SectionEnd

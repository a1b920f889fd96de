# Fills a Wine prefix so that it looks like a used XP machine: profiles, the
# running user's printer connections and mapped drives, installed programs.
demo_fill_prefix() {
  local users="$WINEPREFIX/drive_c/users"
  mkdir -p "$users/All Users" "$users/Default User" "$users/Ann Baker" "$users/bob smith"
  wine attrib +h 'C:\users\Default User' >/dev/null 2>&1
  local r=(wine reg add)
  {
    "${r[@]}" 'HKCU\Printers\Connections\,,printsrv,Laser 4' /v Server /d '\\printsrv' /f
    "${r[@]}" 'HKCU\Printers\Connections\,,printsrv,Laser 4' /v Provider /d win32spl.dll /f
    "${r[@]}" 'HKCU\Printers\Connections\,,printsrv,Colour 2' /v Server /d '\\printsrv' /f
    "${r[@]}" 'HKCU\Printers\Connections\,,printsrv,Colour 2' /v Provider /d win32spl.dll /f
    "${r[@]}" 'HKCU\Printers\Settings' /v '\\printsrv\Laser 4' /t REG_BINARY /d 0a0b0c0d /f
    "${r[@]}" 'HKCU\Network\H' /v RemotePath /d '\\filesrv\home\ann' /f
    "${r[@]}" 'HKCU\Network\H' /v ProviderName /d 'Microsoft Windows Network' /f
    "${r[@]}" 'HKCU\Network\H' /v ConnectionType /t REG_DWORD /d 1 /f
    "${r[@]}" 'HKCU\Network\P' /v RemotePath /d '\\filesrv\projects' /f
    "${r[@]}" 'HKCU\Network\P' /v ProviderName /d 'Microsoft Windows Network' /f
    "${r[@]}" 'HKCU\Network\P' /v ConnectionType /t REG_DWORD /d 1 /f
    local u='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
    "${r[@]}" "$u\\SampleViewer" /v DisplayName /d 'Sample Viewer 1.0' /f
    "${r[@]}" "$u\\SampleViewer" /v UninstallString /d 'C:\Program Files\Sample Viewer\uninst.exe' /f
    "${r[@]}" "$u\\OfficeTools" /v DisplayName /d 'Office Tools 2003' /f
    "${r[@]}" "$u\\OfficeTools" /v DisplayVersion /d '11.0' /f
    "${r[@]}" "$u\\KB823980" /v ParentDisplayName /d 'Windows XP' /f
    "${r[@]}" "$u\\KB823980" /v DisplayName /d 'Security Update for Windows XP (KB823980)' /f
  } >/dev/null 2>&1
}

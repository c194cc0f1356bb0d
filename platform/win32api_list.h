// The platform operations the installer uses, one row each: the Win32 name, its return type,
// its parameters and argument list, and what the call returns when a test makes it fail.
// FAULT_ERROR names the last-error code chosen by the test. Included several times with
// different definitions of WIN_API (the table, its defaults, its counting wrappers, its names).
//
// WIN_API(return type, name, (parameters), (arguments), value returned on an injected failure)
// WIN_API_VOID(name, (parameters), (arguments))

// Files, directories and drives (kernel32)
WIN_API(HANDLE, CreateFileA,
        (LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
         LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
         DWORD dwFlagsAndAttributes, HANDLE hTemplateFile),
        (lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
         dwFlagsAndAttributes, hTemplateFile),
        INVALID_HANDLE_VALUE)
WIN_API(BOOL, ReadFile,
        (HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
         LPOVERLAPPED lpOverlapped),
        (hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped), FALSE)
WIN_API(BOOL, WriteFile,
        (HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
         LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped),
        (hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped), FALSE)
WIN_API(DWORD, SetFilePointer,
        (HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod),
        (hFile, lDistanceToMove, lpDistanceToMoveHigh, dwMoveMethod), INVALID_SET_FILE_POINTER)
WIN_API(BOOL, SetEndOfFile, (HANDLE hFile), (hFile), FALSE)
WIN_API(BOOL, CloseHandle, (HANDLE hObject), (hObject), FALSE)
WIN_API(BOOL, DeleteFileA, (LPCSTR lpFileName), (lpFileName), FALSE)
WIN_API(BOOL, CreateDirectoryA, (LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes),
        (lpPathName, lpSecurityAttributes), FALSE)
WIN_API(UINT, GetDriveTypeA, (LPCSTR lpRootPathName), (lpRootPathName), DRIVE_NO_ROOT_DIR)
WIN_API(BOOL, GetDiskFreeSpaceA,
        (LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster, LPDWORD lpBytesPerSector,
         LPDWORD lpNumberOfFreeClusters, LPDWORD lpTotalNumberOfClusters),
        (lpRootPathName, lpSectorsPerCluster, lpBytesPerSector, lpNumberOfFreeClusters,
         lpTotalNumberOfClusters),
        FALSE)
WIN_API(DWORD, GetShortPathNameA, (LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer),
        (lpszLongPath, lpszShortPath, cchBuffer), 0)
WIN_API(DWORD, GetFileAttributesA, (LPCSTR lpFileName), (lpFileName), INVALID_FILE_ATTRIBUTES)
WIN_API(BOOL, SetFileAttributesA, (LPCSTR lpFileName, DWORD dwFileAttributes),
        (lpFileName, dwFileAttributes), FALSE)
WIN_API(BOOL, SystemTimeToFileTime, (const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime),
        (lpSystemTime, lpFileTime), FALSE)
WIN_API(BOOL, LocalFileTimeToFileTime, (const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime),
        (lpLocalFileTime, lpFileTime), FALSE)
WIN_API(BOOL, SetFileTime,
        (HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
         const FILETIME* lpLastWriteTime),
        (hFile, lpCreationTime, lpLastAccessTime, lpLastWriteTime), FALSE)

// Process, directories of the system, last error (kernel32)
WIN_API(DWORD, GetModuleFileNameA, (HMODULE hModule, LPSTR lpFilename, DWORD nSize),
        (hModule, lpFilename, nSize), 0)
WIN_API(DWORD, GetCurrentDirectoryA, (DWORD nBufferLength, LPSTR lpBuffer),
        (nBufferLength, lpBuffer), 0)
WIN_API(BOOL, SetCurrentDirectoryA, (LPCSTR lpPathName), (lpPathName), FALSE)
WIN_API(UINT, GetWindowsDirectoryA, (LPSTR lpBuffer, UINT uSize), (lpBuffer, uSize), 0)
WIN_API(UINT, GetSystemDirectoryA, (LPSTR lpBuffer, UINT uSize), (lpBuffer, uSize), 0)
WIN_API(UINT, WinExec, (LPCSTR lpCmdLine, UINT uCmdShow), (lpCmdLine, uCmdShow), (UINT)FAULT_ERROR)
WIN_API(DWORD, GetLastError, (void), (), FAULT_ERROR)
WIN_API_VOID(SetLastError, (DWORD dwErrCode), (dwErrCode))

// Movable memory (kernel32)
WIN_API(HGLOBAL, GlobalAlloc, (UINT uFlags, SIZE_T dwBytes), (uFlags, dwBytes), NULL)
WIN_API(LPVOID, GlobalLock, (HGLOBAL hMem), (hMem), NULL)
WIN_API(BOOL, GlobalUnlock, (HGLOBAL hMem), (hMem), FALSE)
WIN_API(HGLOBAL, GlobalFree, (HGLOBAL hMem), (hMem), hMem)
WIN_API(HLOCAL, LocalAlloc, (UINT uFlags, SIZE_T uBytes), (uFlags, uBytes), NULL)
WIN_API(LPVOID, LocalLock, (HLOCAL hMem), (hMem), NULL)
WIN_API(BOOL, LocalUnlock, (HLOCAL hMem), (hMem), FALSE)
WIN_API(HLOCAL, LocalFree, (HLOCAL hMem), (hMem), hMem)

// The installer's own resources (kernel32)
WIN_API(HRSRC, FindResourceA, (HMODULE hModule, LPCSTR lpName, LPCSTR lpType),
        (hModule, lpName, lpType), NULL)
WIN_API(HGLOBAL, LoadResource, (HMODULE hModule, HRSRC hResInfo), (hModule, hResInfo), NULL)
WIN_API(LPVOID, LockResource, (HGLOBAL hResData), (hResData), NULL)
WIN_API(DWORD, SizeofResource, (HMODULE hModule, HRSRC hResInfo), (hModule, hResInfo), 0)
WIN_API(BOOL, FreeResource, (HGLOBAL hResData), (hResData), FALSE)

// Registry (advapi32) and WIN.INI (kernel32)
WIN_API(LONG, RegOpenKeyExA,
        (HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult),
        (hKey, lpSubKey, ulOptions, samDesired, phkResult), (LONG)FAULT_ERROR)
WIN_API(LONG, RegQueryValueExA,
        (HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
         LPDWORD lpcbData),
        (hKey, lpValueName, lpReserved, lpType, lpData, lpcbData), (LONG)FAULT_ERROR)
WIN_API(LONG, RegCloseKey, (HKEY hKey), (hKey), (LONG)FAULT_ERROR)
WIN_API(DWORD, GetProfileStringA,
        (LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString, DWORD nSize),
        (lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize),
        FailedProfileString(lpReturnedString, nSize))

// Windows, dialogs, message boxes and timers (user32)
WIN_API(ATOM, RegisterClassA, (const WNDCLASSA* lpWndClass), (lpWndClass), 0)
WIN_API(HWND, CreateWindowExA,
        (DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
         int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
         LPVOID lpParam),
        (dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu,
         hInstance, lpParam),
        NULL)
WIN_API(BOOL, ShowWindow, (HWND hWnd, int nCmdShow), (hWnd, nCmdShow), FALSE)
WIN_API(BOOL, UpdateWindow, (HWND hWnd), (hWnd), FALSE)
WIN_API(LRESULT, DefWindowProcA, (HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam),
        (hWnd, Msg, wParam, lParam), 0)
WIN_API_VOID(PostQuitMessage, (int nExitCode), (nExitCode))
WIN_API(HICON, LoadIconA, (HINSTANCE hInstance, LPCSTR lpIconName), (hInstance, lpIconName), NULL)
WIN_API(HCURSOR, LoadCursorA, (HINSTANCE hInstance, LPCSTR lpCursorName), (hInstance, lpCursorName),
        NULL)
WIN_API(HWND, FindWindowA, (LPCSTR lpClassName, LPCSTR lpWindowName), (lpClassName, lpWindowName),
        NULL)
WIN_API(INT_PTR, DialogBoxParamA,
        (HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
         LPARAM dwInitParam),
        (hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam), -1)
WIN_API(BOOL, EndDialog, (HWND hDlg, INT_PTR nResult), (hDlg, nResult), FALSE)
WIN_API(BOOL, DestroyWindow, (HWND hWnd), (hWnd), FALSE)
WIN_API(BOOL, SetDlgItemTextA, (HWND hDlg, int nIDDlgItem, LPCSTR lpString),
        (hDlg, nIDDlgItem, lpString), FALSE)
WIN_API(UINT, GetDlgItemTextA, (HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax),
        (hDlg, nIDDlgItem, lpString, cchMax), 0)
WIN_API(BOOL, SetWindowTextA, (HWND hWnd, LPCSTR lpString), (hWnd, lpString), FALSE)
WIN_API(int, MessageBoxA, (HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType),
        (hWnd, lpText, lpCaption, uType), 0)
WIN_API(UINT_PTR, SetTimer, (HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc),
        (hWnd, nIDEvent, uElapse, lpTimerFunc), 0)
WIN_API(BOOL, KillTimer, (HWND hWnd, UINT_PTR uIDEvent), (hWnd, uIDEvent), FALSE)
WIN_API(BOOL, MapDialogRect, (HWND hDlg, LPRECT lpRect), (hDlg, lpRect), FALSE)
WIN_API(HWND, GetParent, (HWND hWnd), (hWnd), NULL)
WIN_API(BOOL, GetClientRect, (HWND hWnd, LPRECT lpRect), (hWnd, lpRect), FALSE)
WIN_API(BOOL, ClientToScreen, (HWND hWnd, LPPOINT lpPoint), (hWnd, lpPoint), FALSE)
WIN_API(BOOL, GetWindowRect, (HWND hWnd, LPRECT lpRect), (hWnd, lpRect), FALSE)
WIN_API(BOOL, MoveWindow, (HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint),
        (hWnd, X, Y, nWidth, nHeight, bRepaint), FALSE)

// Text formatting (user32); the facade's wsprintfA formats through it.
WIN_API(int, wvsprintfA, (LPSTR lpOutput, LPCSTR lpFormat, va_list arglist),
        (lpOutput, lpFormat, arglist), 0)

// Drawing (user32, gdi32)
WIN_API(HDC, GetDC, (HWND hWnd), (hWnd), NULL)
WIN_API(int, ReleaseDC, (HWND hWnd, HDC hDC), (hWnd, hDC), 0)
WIN_API(HPEN, CreatePen, (int iStyle, int cWidth, COLORREF color), (iStyle, cWidth, color), NULL)
WIN_API(HBRUSH, CreateSolidBrush, (COLORREF color), (color), NULL)
WIN_API(HGDIOBJ, SelectObject, (HDC hdc, HGDIOBJ h), (hdc, h), NULL)
WIN_API(BOOL, DeleteObject, (HGDIOBJ ho), (ho), FALSE)
WIN_API(BOOL, Rectangle, (HDC hdc, int left, int top, int right, int bottom),
        (hdc, left, top, right, bottom), FALSE)

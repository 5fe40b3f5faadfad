#include <gtest/gtest.h>
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

WNDCLASSEXA ClassNamed(const char* name) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = name;
    return windowClass;
}

TEST(RegisterClassExA, RecordHasWin32Layout) {
#if defined(_WIN32) && !defined(_WIN64)
    static_assert(sizeof(WNDCLASSEXA) == 48, "the i686 record");
#endif
    static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "the same on every platform");
    EXPECT_EQ(offsetof(WNDCLASSEXA, cbSize), 0u);
    EXPECT_EQ(offsetof(WNDCLASSEXA, style), 4u);
    EXPECT_EQ(offsetof(WNDCLASSEXA, lpfnWndProc), 8u);
    EXPECT_EQ(offsetof(PIXELFORMATDESCRIPTOR, dwFlags), 4u);
    EXPECT_EQ(offsetof(PIXELFORMATDESCRIPTOR, cDepthBits), 23u);
    EXPECT_EQ(offsetof(PIXELFORMATDESCRIPTOR, dwLayerMask), 28u);
}

TEST(RegisterClassExA, SecondRegistrationOfANameFailsWhateverItsCase) {
    WNDCLASSEXA first = ClassNamed("DuplicateProbe");
    ASSERT_NE(RegisterClassExA(&first), 0);
    WNDCLASSEXA again = ClassNamed("DuplicateProbe");
    SetLastError(0);
    EXPECT_EQ(RegisterClassExA(&again), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    WNDCLASSEXA upper = ClassNamed("DUPLICATEPROBE");
    EXPECT_EQ(RegisterClassExA(&upper), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
}

TEST(RegisterClassExA, ShiftJisTrailBytesAreCharactersNotLetters) {
    // 83 65 is KATAKANA TE and 83 45 is KATAKANA SMALL E: a byte-wise
    // case-insensitive comparison would take 0x65 'e' and 0x45 'E' as the
    // same letter and the two names as one.
    WNDCLASSEXA te = ClassNamed(
        "Probe\x83"
        "e");
    WNDCLASSEXA smallE = ClassNamed(
        "Probe\x83"
        "E");
    EXPECT_NE(RegisterClassExA(&te), 0);
    EXPECT_NE(RegisterClassExA(&smallE), 0);
}

TEST(RegisterClassExA, WrongRecordSizeFails) {
    WNDCLASSEXA windowClass = ClassNamed("WrongSizeProbe");
    windowClass.cbSize = sizeof windowClass - 4;
    EXPECT_EQ(RegisterClassExA(&windowClass), 0);
    windowClass.cbSize = 0;
    EXPECT_EQ(RegisterClassExA(&windowClass), 0);
}

TEST(CreateWindowExA, UnknownClassFails) {
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClassAnywhere", "x", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr),
              nullptr);
#ifdef _WIN32
    // Wine answers ERROR_CLASS_DOES_NOT_EXIST; Windows answers
    // ERROR_CANNOT_FIND_WND_CLASS, which the subset follows.
    EXPECT_TRUE(GetLastError() == ERROR_CANNOT_FIND_WND_CLASS ||
                GetLastError() == ERROR_CLASS_DOES_NOT_EXIST);
#else
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
#endif
}

}  // namespace

// The native program as a Wayland client, with no X server: its picture on
// headless weston (from weston's own screenshot), its close from the
// keyboard and from the frame's close button on weston over an Xvfb of its
// own (real input through xdotool there), and the end of its compositor.
// weston's --debug lets any client read the scene graph and take a
// screenshot; the fixtures and the private compositor below pass it.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/picture.h"
#include "e2e/program_kind_test.h"
#include "x11_client.h"

namespace {

// A surface on screen as weston's scene graph lists it: its client's pid,
// what weston calls it ("top-level window 'TITLE' of APP-ID",
// "sub-surface") and where it is in the output's coordinates.
struct View {
    pid_t pid = 0;
    std::string label;
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
};

// Every view weston shows, from `weston-debug scene-graph`, whose lines read
//   View 0 (role xdg_toplevel, PID 1909, surface ID 9, top-level window
//   'OpenGLテスト' of ..., 0x5602...):
//       position: (531, 273) -> (1171, 753)
std::vector<View> SceneGraph(const Environment& compositor) {
    std::string text;
    if (RunTool({"weston-debug", "scene-graph"}, "", &text, compositor) != 0) return {};
    std::vector<View> views;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t pid = line.find(", PID ");
        const size_t surface = line.find(", surface ID ");
        View* last = views.empty() ? nullptr : &views.back();
        if (line.find("View ") != std::string::npos && pid != std::string::npos &&
            surface != std::string::npos) {
            View view;
            view.pid = std::atoi(line.c_str() + pid + 6);
            const size_t label = line.find(", ", surface + 1);
            const size_t end = line.rfind(", 0x");
            if (label != std::string::npos && end != std::string::npos && end > label)
                view.label = line.substr(label + 2, end - label - 2);
            views.push_back(view);
        } else if (last != nullptr) {
            std::sscanf(line.c_str(), " position: (%d, %d) -> (%d, %d)", &last->x0, &last->y0,
                        &last->x1, &last->y1);
        }
    }
    return views;
}

// The program's window in the scene graph: the top-level view of its pid
// titled OpenGLテスト. Its position is the client area's top-left corner;
// its own size is that of whatever buffer the toplevel holds, so the client
// area is taken as 640 x 480 from there (EGL draws on a sub-surface that
// weston does not always list). weston draws no frame, so libdecor does:
// its title bar is a sub-surface as wide as the client area, right above
// it (its shadow and borders are sub-surfaces around both).
struct ProgramWindow {
    View client;
    View titleBar;  // pid 0 when there is none
};

::testing::AssertionResult FindWindow(const Environment& compositor, pid_t pid,
                                      ProgramWindow& window) {
    const std::vector<View> views = SceneGraph(compositor);
    const std::string title = "top-level window '" + std::string(kProgramTitleUtf8) + "'";
    window = ProgramWindow{};
    for (const View& view : views) {
        if (view.pid == pid && view.label.rfind(title, 0) == 0) {
            window.client = view;
            window.client.x1 = view.x0 + 640;
            window.client.y1 = view.y0 + 480;
        }
    }
    if (window.client.pid == 0) {
        return ::testing::AssertionFailure()
               << "no top-level window titled " << kProgramTitleUtf8 << " of pid " << pid;
    }
    for (const View& view : views) {
        if (view.pid == pid && view.x0 == window.client.x0 && view.x1 == window.client.x1 &&
            view.y1 == window.client.y0)
            window.titleBar = view;
    }
    return ::testing::AssertionSuccess();
}

// The client area as the compositor shows it: weston-screenshooter writes
// the output into a PNG in its current folder, a new one each time.
std::unique_ptr<Capture> Screenshot(const Environment& compositor, const View& area,
                                    std::string* error) {
    char folder[] = "/tmp/opengl_test_screenshot_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        *error = "no folder for the screenshot";
        return nullptr;
    }
    std::unique_ptr<Capture> frame;
    if (RunTool({"sh", "-c", "cd \"$0\" && exec weston-screenshooter", folder}, "", nullptr,
                compositor) != 0) {
        *error = "weston-screenshooter failed";
    }
    std::vector<std::string> files;
    if (DIR* dir = opendir(folder); dir != nullptr) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') files.push_back(std::string(folder) + "/" + entry->d_name);
        }
        closedir(dir);
    }
    if (files.size() == 1) {
        frame = std::make_unique<Capture>(files[0], area.x0, area.y0, 640, 480, error);
    } else if (error->empty()) {
        *error = "weston-screenshooter wrote " + std::to_string(files.size()) + " files";
    }
    for (const std::string& file : files) unlink(file.c_str());
    rmdir(folder);
    return frame;
}

// Waits for the program's window to show a frame of the scene; with
// `shown`, that frame. A program that ends ends the wait, with how it did.
::testing::AssertionResult WaitForTheScene(const Environment& compositor, ProgramRunner& program,
                                           std::unique_ptr<Capture>* shown) {
    const pid_t pid = program.Pid();
    ::testing::AssertionResult last = ::testing::AssertionFailure() << "nothing seen";
    std::string ended;
    const bool drawn = WaitUntil(kHangCeilingSeconds, [&] {
        if (program.Ended(&ended)) return true;
        ProgramWindow window;
        if (!(last = FindWindow(compositor, pid, window))) return false;
        std::string error;
        std::unique_ptr<Capture> frame = Screenshot(compositor, window.client, &error);
        if (frame == nullptr || !frame->Valid()) {
            last = ::testing::AssertionFailure() << error;
            return false;
        }
        if (!ShowsTheScene(*frame)) {
            last = ::testing::AssertionFailure() << "the window shows no frame of the scene";
            return false;
        }
        if (shown != nullptr) *shown = std::move(frame);
        return true;
    });
    if (!ended.empty()) {
        return ::testing::AssertionFailure()
               << "the program " << ended << " before it showed the scene (" << last.message()
               << ")";
    }
    if (drawn) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "within " << kHangCeilingSeconds << " s: " << last.message();
}

// Waits for the program's window to be shown with its frame (libdecor's,
// which comes a moment after the toplevel: weston draws none), or for the
// program to end.
::testing::AssertionResult WaitForWindow(const Environment& compositor, ProgramRunner& program,
                                         ProgramWindow& window) {
    const pid_t pid = program.Pid();
    ::testing::AssertionResult last = ::testing::AssertionFailure() << "nothing seen";
    std::string ended;
    const bool shown = WaitUntil(kHangCeilingSeconds, [&] {
        if (program.Ended(&ended)) return true;
        if (!(last = FindWindow(compositor, pid, window))) return false;
        if (window.titleBar.pid != 0) return true;
        last = ::testing::AssertionFailure() << "no title bar above the client area";
        return false;
    });
    if (!ended.empty()) {
        return ::testing::AssertionFailure()
               << "the program " << ended << " before its window was shown (" << last.message()
               << ")";
    }
    if (shown) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "within " << kHangCeilingSeconds << " s: " << last.message();
}

// Whether the process's environment sets `name`.
bool EnvironmentSets(pid_t pid, const std::string& name) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/environ");
    for (std::string entry; std::getline(file, entry, '\0');) {
        if (entry.rfind(name + "=", 0) == 0) return true;
    }
    return false;
}

class Wayland : public ProgramKindTest {};

TEST_P(Wayland, DrawsTheSquareInA640By480WindowTitledOpenGLTestWithNoXServer) {
    const Environment compositor = FixtureWayland("wayland");
    ASSERT_FALSE(compositor.empty()) << "needs the wayland_display fixture (ctest starts it)";
    ProgramRunner program(Kind(), "");
    ASSERT_TRUE(program.Start());
    // Nothing it could draw on but the compositor.
    EXPECT_FALSE(EnvironmentSets(program.Pid(), "DISPLAY"));
    std::unique_ptr<Capture> frame;
    ASSERT_TRUE(WaitForTheScene(compositor, program, &frame));
    ExpectTheScene(*frame);
    std::string ended;
    EXPECT_FALSE(program.Ended(&ended)) << "the program " << ended << " while it drew";
}

// A compositor of the test's own, headless as the fixture's, so that it can
// be killed. Its clients (weston's shell) share its process group.
class PrivateCompositor {
public:
    PrivateCompositor() {
        char folder[] = "/tmp/opengl_test_weston_XXXXXX";
        if (mkdtemp(folder) == nullptr) return;
        runtime_ = folder;
        std::vector<std::string> strings = {"XDG_RUNTIME_DIR=" + runtime_};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable = *entry;
            if (variable.rfind("XDG_RUNTIME_DIR=", 0) != 0 && variable.rfind("DISPLAY=", 0) != 0 &&
                variable.rfind("WAYLAND_", 0) != 0)
                strings.push_back(variable);
        }
        std::vector<char*> envp;
        for (std::string& s : strings) envp.push_back(s.data());
        envp.push_back(nullptr);
        const int log = open((runtime_ + "/weston.log").c_str(), O_WRONLY | O_CREAT, 0600);
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
            char* const argv[] = {const_cast<char*>("weston"),
                                  const_cast<char*>("--socket=fault"),
                                  const_cast<char*>("--backend=headless-backend.so"),
                                  const_cast<char*>("--use-gl"),
                                  const_cast<char*>("--debug"),
                                  const_cast<char*>("--idle-time=0"),
                                  const_cast<char*>("--width=1024"),
                                  const_cast<char*>("--height=768"),
                                  nullptr};
            execvpe("weston", argv, envp.data());
            _exit(127);
        }
        if (log >= 0) close(log);
        struct stat socket = {};
        if (pid_ > 0 && WaitUntil(kHangCeilingSeconds, [&] {
                return stat((runtime_ + "/fault").c_str(), &socket) == 0;
            })) {
            environment = {{"XDG_RUNTIME_DIR", runtime_}, {"WAYLAND_DISPLAY", "fault"}};
        }
    }
    ~PrivateCompositor() {
        Kill();
        if (runtime_.empty()) return;
        for (const char* name : {"fault", "fault.lock", "weston.log"})
            unlink((runtime_ + "/" + name).c_str());
        rmdir(runtime_.c_str());
    }
    PrivateCompositor(const PrivateCompositor&) = delete;
    PrivateCompositor& operator=(const PrivateCompositor&) = delete;
    void Kill() {
        if (pid_ > 0) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    Environment environment;  // empty until it answers

private:
    std::string runtime_;
    pid_t pid_ = -1;
};

TEST_P(Wayland, LostCompositorEndsTheProgramWithStatusOneAndSaysSo) {
    PrivateCompositor compositor;
    ASSERT_FALSE(compositor.environment.empty())
        << "weston made no socket within " << kHangCeilingSeconds << " s";
    char errors[] = "/tmp/opengl_test_errors_XXXXXX";
    const int file = mkstemp(errors);
    ASSERT_GE(file, 0);
    close(file);
    ProgramRunner program(WaylandKind(compositor.environment), "");
    ASSERT_TRUE(program.Start("", errors));
    ProgramWindow window;
    ASSERT_TRUE(WaitForWindow(compositor.environment, program, window));
    compositor.Kill();
    // 1, as for a lost X server; a signal (a crash) or a hang gives -1.
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 1)
        << "the program's exit within " << kHangCeilingSeconds << " s of the compositor's end";
    std::ostringstream said;
    said << std::ifstream(errors).rdbuf();
    EXPECT_NE(said.str().find("compositor"), std::string::npos)
        << "its stderr names no compositor: " << said.str();
    unlink(errors);
}

// On weston over an Xvfb of its own (the wayland_desktop fixture): its
// output lies at that Xvfb's origin, so the scene graph's positions are
// where xdotool points there.
class WaylandDesktop : public ProgramKindTest {
protected:
    // WaitForWindow waits for the title bar too.
    void StartAndFindWindow(ProgramRunner& program, ProgramWindow& window) {
        ASSERT_FALSE(compositor.empty()) << "needs the wayland_desktop fixture (ctest starts it)";
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(WaitForWindow(compositor, program, window));
    }
    int Tool(const std::vector<std::string>& arguments) const {
        return RunTool(arguments, FixtureDisplay("wayland_desktop"));
    }
    void ClickThenAltF4(int x, int y) {
        const std::string at[] = {std::to_string(x), std::to_string(y)};
        ASSERT_EQ(Tool({"xdotool", "mousemove", "--sync", at[0], at[1], "click", "1"}), 0);
        ASSERT_EQ(Tool({"xdotool", "key", "alt+F4"}), 0);
    }
    const Environment compositor = FixtureWayland("wayland_desktop");
};

// The keyboard's focus follows a click, and weston gives it to the very
// surface clicked: the client area's, or a part of libdecor's frame, whose
// keys are the window's all the same.
TEST_P(WaylandDesktop, AltF4ClosesTheProgramWithZero) {
    ProgramRunner program(WaylandKind(compositor), "");
    ProgramWindow window;
    ASSERT_NO_FATAL_FAILURE(StartAndFindWindow(program, window));
    ASSERT_NO_FATAL_FAILURE(ClickThenAltF4((window.client.x0 + window.client.x1) / 2,
                                           (window.client.y0 + window.client.y1) / 2));
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0) << "Alt+F4 did not close the window";
}

TEST_P(WaylandDesktop, AltF4AfterAClickOnTheTitleBarClosesTheProgramWithZero) {
    ProgramRunner program(WaylandKind(compositor), "");
    ProgramWindow window;
    ASSERT_NO_FATAL_FAILURE(StartAndFindWindow(program, window));
    // The title's middle: no button there.
    ASSERT_NO_FATAL_FAILURE(ClickThenAltF4((window.titleBar.x0 + window.titleBar.x1) / 2,
                                           (window.titleBar.y0 + window.titleBar.y1) / 2));
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0)
        << "Alt+F4 after a click on the title bar did not close the window";
}

// libdecor's buttons are 32 px wide at the title bar's right end, the close
// button last: 16 px in from the right, halfway down, is its middle.
TEST_P(WaylandDesktop, TheFramesCloseButtonClosesTheProgramWithZero) {
    ProgramRunner program(WaylandKind(compositor), "");
    ProgramWindow window;
    ASSERT_NO_FATAL_FAILURE(StartAndFindWindow(program, window));
    const std::string x = std::to_string(window.titleBar.x1 - 16);
    const std::string y = std::to_string((window.titleBar.y0 + window.titleBar.y1) / 2);
    // Onto the button from inside the window, as a hand gets there: libdecor
    // takes a button for pressed only with the pointer seen entering it.
    const std::string insideX = std::to_string((window.client.x0 + window.client.x1) / 2);
    const std::string insideY = std::to_string((window.client.y0 + window.client.y1) / 2);
    ASSERT_EQ(Tool({"xdotool", "mousemove", "--sync", insideX, insideY}), 0);
    ASSERT_EQ(Tool({"xdotool", "mousemove", "--sync", x, y, "click", "1"}), 0);
    EXPECT_EQ(program.WaitForExit(kHangCeilingSeconds), 0)
        << "the close button did not close the window";
}

INSTANTIATE_TEST_SUITE_P(Program, Wayland, ::testing::Values("wayland"), ProgramKindTestName);
INSTANTIATE_TEST_SUITE_P(Program, WaylandDesktop, ::testing::Values("wayland"),
                         ProgramKindTestName);

}  // namespace

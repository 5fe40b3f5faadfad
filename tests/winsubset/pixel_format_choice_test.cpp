// ChoosePixelFormat against a reference built only from what
// DescribePixelFormat tells: for every request, the chosen format must be
// one of those that match its buffering and stereo and come closest to it,
// respect by respect in order of importance (colour, alpha, depth, stencil,
// accumulation, auxiliary buffers; more than asked beats less). Win32 leaves
// the rule to the driver, and Wine's differs, so this runs natively only.

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <vector>

#include "support/program_pixel_format.h"
#include "support/recording_window.h"

namespace {

int Cost(int requested, int actual) {
    return actual >= requested ? actual - requested : 1000 + requested - actual;
}

bool Matches(const PIXELFORMATDESCRIPTOR& wanted, const PIXELFORMATDESCRIPTOR& format) {
    if (wanted.iPixelType != format.iPixelType) return false;
    if ((wanted.dwFlags & (PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI)) != 0) return false;
    if ((wanted.dwFlags & PFD_DOUBLEBUFFER_DONTCARE) == 0 &&
        ((wanted.dwFlags ^ format.dwFlags) & PFD_DOUBLEBUFFER) != 0) {
        return false;
    }
    return (wanted.dwFlags & PFD_STEREO_DONTCARE) != 0 ||
           ((wanted.dwFlags ^ format.dwFlags) & PFD_STEREO) == 0;
}

std::array<int, 6> Costs(const PIXELFORMATDESCRIPTOR& wanted, const PIXELFORMATDESCRIPTOR& f) {
    return {Cost(wanted.cColorBits, f.cColorBits), Cost(wanted.cAlphaBits, f.cAlphaBits),
            Cost(wanted.cDepthBits, f.cDepthBits), Cost(wanted.cStencilBits, f.cStencilBits),
            Cost(wanted.cAccumBits, f.cAccumBits), Cost(wanted.cAuxBuffers, f.cAuxBuffers)};
}

std::vector<PIXELFORMATDESCRIPTOR> Requests() {
    std::vector<PIXELFORMATDESCRIPTOR> requests;
    const PIXELFORMATDESCRIPTOR program = ProgramDescriptor();
    requests.push_back(program);
    for (const BYTE colour : {8, 16, 24, 32, 48}) {
        for (const BYTE alpha : {0, 8}) {
            for (const BYTE depth : {0, 16, 24, 32}) {
                PIXELFORMATDESCRIPTOR d = program;
                d.cColorBits = colour;
                d.cAlphaBits = alpha;
                d.cDepthBits = depth;
                requests.push_back(d);
            }
        }
    }
    for (const BYTE accum : {16, 32, 64}) {
        PIXELFORMATDESCRIPTOR d = program;
        d.cAccumBits = accum;
        requests.push_back(d);
    }
    PIXELFORMATDESCRIPTOR d = program;
    d.cStencilBits = 0;
    requests.push_back(d);
    d = program;
    d.cAuxBuffers = 1;
    requests.push_back(d);
    d = program;
    d.dwFlags &= ~static_cast<DWORD>(PFD_DOUBLEBUFFER);
    requests.push_back(d);
    d.dwFlags |= PFD_DOUBLEBUFFER_DONTCARE;
    requests.push_back(d);
    d = program;
    d.dwFlags |= PFD_STEREO;
    requests.push_back(d);
    d.dwFlags |= PFD_STEREO_DONTCARE;
    requests.push_back(d);
    d = program;
    d.iPixelType = PFD_TYPE_COLORINDEX;
    requests.push_back(d);
    d = program;
    d.dwFlags |= PFD_DRAW_TO_BITMAP;
    requests.push_back(d);
    return requests;
}

TEST(PixelFormatChoice, ChosenFormatIsAmongTheClosestMatchesForEveryRequest) {
    RecordingWindow::Reset();
    HWND hwnd = RecordingWindow::Create();
    ASSERT_NE(hwnd, nullptr);
    HDC hdc = GetDC(hwnd);
    const int count = DescribePixelFormat(hdc, 1, 0, nullptr);
    ASSERT_GT(count, 0);

    // Chosen first, while the formats are still undescribed: the choice
    // must not depend on what was asked about them before.
    const std::vector<PIXELFORMATDESCRIPTOR> requests = Requests();
    std::vector<int> chosenFormats;
    for (const PIXELFORMATDESCRIPTOR& wanted : requests) {
        chosenFormats.push_back(ChoosePixelFormat(hdc, &wanted));
    }
    for (size_t r = 0; r < requests.size(); ++r) {
        const PIXELFORMATDESCRIPTOR& wanted = requests[r];
        // The reference: the least cost tuple over every matching format.
        std::vector<int> closest;
        std::array<int, 6> least = {};
        for (int format = 1; format <= count; ++format) {
            PIXELFORMATDESCRIPTOR f = {};
            ASSERT_EQ(DescribePixelFormat(hdc, format, sizeof f, &f), count);
            if (!Matches(wanted, f)) continue;
            const std::array<int, 6> costs = Costs(wanted, f);
            if (closest.empty() || costs < least) {
                closest = {format};
                least = costs;
            } else if (costs == least) {
                closest.push_back(format);
            }
        }
        const int chosen = chosenFormats[r];
        if (closest.empty()) {
            EXPECT_EQ(chosen, 0) << "request " << r;
            EXPECT_EQ(ChoosePixelFormat(hdc, &wanted), 0);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PIXEL_FORMAT));
            continue;
        }
        bool amongClosest = false;
        for (const int format : closest) amongClosest = amongClosest || format == chosen;
        EXPECT_TRUE(amongClosest) << "request " << r << ": chose " << chosen
                                  << ", closest begin at " << closest.front();
        EXPECT_EQ(ChoosePixelFormat(hdc, &wanted), chosen) << "request " << r << " asked again";
    }
    DestroyWindow(hwnd);
    DrainMessages();
}

}  // namespace

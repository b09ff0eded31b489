#include "about/DesktopShell.h"

#include "ui/Handles.h"
#include "ui/SystemFunction.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shobjidl.h>

namespace {

// SID_STopLevelBrowser, spelled out: the uuid library's copy comes with thousands of others.
constexpr GUID kTopLevelBrowser{
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

struct BstrFree {
    void operator()(BSTR text) const noexcept {
        static const auto free = SYSTEM_FUNCTION(L"oleaut32.dll", SysFreeString);
        if (free) free(text);
    }
};

// The interface a call hands out through its argument, owned; nullptr when the call fails.
template <class Interface, class Call>
UniqueCom<Interface> Take(Call call) {
    Interface* object = nullptr;
    const HRESULT result = call(&object);
    UniqueCom<Interface> owned(object);
    return result == S_OK ? std::move(owned) : nullptr;
}

template <class Interface>
UniqueCom<Interface> As(IUnknown* object) {
    return Take<Interface>([object](Interface** out) { return object->QueryInterface(out); });
}

}  // namespace

// The desktop's browser, the background of its view, and the Shell object behind that, whose
// ShellExecute runs in the desktop's process. ole32 and oleaut32 are bound at first use.
bool OpenThroughDesktop(const std::wstring& address) {
    static const auto create = SYSTEM_FUNCTION(L"ole32.dll", CoCreateInstance);
    static const auto allocate = SYSTEM_FUNCTION(L"oleaut32.dll", SysAllocString);
    if (!create || !allocate) return false;
    const auto windows = Take<IShellWindows>([](IShellWindows** out) {
        return create(__uuidof(ShellWindows), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(out));
    });
    if (!windows) return false;
    VARIANT none{};
    long window = 0;
    const auto desktop = Take<IDispatch>([&](IDispatch** out) {
        return windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, out);
    });
    if (!desktop) return false;
    const auto services = As<IServiceProvider>(desktop.get());
    if (!services) return false;
    const auto browser = Take<IShellBrowser>([&](IShellBrowser** out) {
        return services->QueryService(kTopLevelBrowser, IID_PPV_ARGS(out));
    });
    if (!browser) return false;
    const auto view =
        Take<IShellView>([&](IShellView** out) { return browser->QueryActiveShellView(out); });
    if (!view) return false;
    const auto background = Take<IDispatch>(
        [&](IDispatch** out) { return view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(out)); });
    if (!background) return false;
    const auto folderView = As<IShellFolderViewDual>(background.get());
    if (!folderView) return false;
    const auto application =
        Take<IDispatch>([&](IDispatch** out) { return folderView->get_Application(out); });
    if (!application) return false;
    const auto shell = As<IShellDispatch2>(application.get());
    const std::unique_ptr<OLECHAR, BstrFree> file(allocate(address.c_str()));
    if (!shell || !file) return false;
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return shell->ShellExecute(file.get(), none, none, none, show) == S_OK;
}

#include "ui/LinkAccessible.h"

#include "ui/Handles.h"
#include "ui/SystemFunction.h"

#include <ole2.h>
#include <oleacc.h>

#include <utility>

namespace {

// What links are asked to do, in the words Windows' own links use.
const wchar_t kDefaultAction[] = L"Jump";

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object answers everything but the role and the default action.
class LinkAccessible final : public IAccessible {
  public:
    LinkAccessible(HWND label, UniqueCom<IAccessible> standard) noexcept
        : label_(label), standard_(std::move(standard)) {}
    LinkAccessible(const LinkAccessible&) = delete;
    LinkAccessible& operator=(const LinkAccessible&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible))
            return E_NOINTERFACE;
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return standard_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    // Through the standard object's type information, so that a call by name gets this
    // object's answers.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override {
        ITypeInfo* info = nullptr;
        const HRESULT found = standard_->GetTypeInfo(0, locale, &info);
        if (FAILED(found)) return found;
        const UniqueCom<ITypeInfo> owned(info);
        return info->Invoke(static_cast<IAccessible*>(this), id, flags, parameters, result,
                            exception, badArgument);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) return standard_->get_accRole(child, role);
        if (!role) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_LINK;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!IsSelf(child)) return standard_->get_accDefaultAction(child, action);
        if (!action) return E_INVALIDARG;
        static const auto allocate = SYSTEM_FUNCTION(L"oleaut32.dll", SysAllocString);
        *action = allocate ? allocate(kDefaultAction) : nullptr;
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    // Posted, as a click is: the caller, perhaps a screen reader in another process, does not
    // wait for the window to act.
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child)) return standard_->accDoDefaultAction(child);
        return PostMessageW(GetParent(label_), WM_COMMAND,
                            MAKEWPARAM(GetDlgCtrlID(label_), STN_CLICKED),
                            reinterpret_cast<LPARAM>(label_))
                   ? S_OK
                   : E_FAIL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return standard_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

  private:
    ~LinkAccessible() = default;

    LONG references_ = 1;
    const HWND label_;
    const UniqueCom<IAccessible> standard_;
};

}  // namespace

LRESULT AnswerAsLink(HWND label, WPARAM wParam, LPARAM lParam) {
    static const auto createStandard = SYSTEM_FUNCTION(L"oleacc.dll", CreateStdAccessibleObject);
    static const auto fromObject = SYSTEM_FUNCTION(L"oleacc.dll", LresultFromObject);
    void* standard = nullptr;
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT) || !createStandard ||
        !fromObject ||
        FAILED(createStandard(label, OBJID_CLIENT, __uuidof(IAccessible), &standard)))
        return 0;
    // Held before the link is made, so that it is let go of should that fail.
    UniqueCom<IAccessible> held(static_cast<IAccessible*>(standard));
    const UniqueCom<IAccessible> link(new LinkAccessible(label, std::move(held)));
    return fromObject(__uuidof(IAccessible), wParam, link.get());
}

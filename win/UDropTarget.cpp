#include "win/UDropTarget.h"

#include <shellapi.h>

#include "base/UCodePage.h"
#include "base/UException.h"
#include "win/UApplication.h"

namespace {
FORMATETC HDropFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }
}  // namespace

HRESULT STDMETHODCALLTYPE TDropTarget::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TDropTarget::Release()
{
    ULONG n = --FRefCount;
    if (n == 0) delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE TDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    FORMATETC fmt = HDropFormat();
    FAccept = data && data->QueryGetData(&fmt) == S_OK;
    *effect = FAccept ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    *effect = FAccept ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TDropTarget::DragLeave()
{
    FAccept = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TDropTarget::Drop(IDataObject* data, DWORD, POINTL pt, DWORD* effect)
{
    *effect = DROPEFFECT_NONE;
    if (!FAccept || !data) return S_OK;
    FAccept = false;
    auto files = DroppedFiles(data);
    *effect = DROPEFFECT_COPY;
    if (FOnDrop) Guarded([&] { FOnDrop(files, pt); });
    return S_OK;
}

std::vector<std::string> TDropTarget::DroppedFiles(IDataObject* data)
{
    std::vector<std::string> files;
    FORMATETC fmt = HDropFormat();
    STGMEDIUM medium = {};
    if (data->GetData(&fmt, &medium) != S_OK) return files;
    if (HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
        // The real names, escaped where the code page cannot hold them.
        UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            UINT len = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring name(len + 1, L'\0');
            len = DragQueryFileW(drop, i, &name[0], len + 1);
            name.resize(len);
            files.push_back(CodePage::FromWide(name));
        }
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return files;
}

TDropRegistration::TDropRegistration(HWND window, TDropTarget::TDropHandler onDrop)
    : FWindow(window), FTarget(new TDropTarget(std::move(onDrop)))
{
    HRESULT hr = RegisterDragDrop(window, FTarget);
    if (FAILED(hr)) {
        FTarget->Release();
        FTarget = nullptr;
        char code[16];
        wsprintfA(code, "%08X", static_cast<unsigned>(hr));
        throw Exception(std::string("ドロップターゲットを登録できませんでした\r\nError Code: ") + code);
    }
}

TDropRegistration::~TDropRegistration() { Revoke(); }

void TDropRegistration::Revoke()
{
    if (FTarget) {
        RevokeDragDrop(FWindow);
        FTarget->Release();
        FTarget = nullptr;
    }
}

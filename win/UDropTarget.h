// An OLE drop target for files dropped from the shell (CF_HDROP).
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

class TDropTarget : public IDropTarget {
public:
    using TDropHandler = std::function<void(const std::vector<std::string>& files, POINTL point)>;
    explicit TDropTarget(TDropHandler onDrop) : FOnDrop(std::move(onDrop)) {}
    virtual ~TDropTarget() = default;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

    // The file names of a CF_HDROP data object.
    static std::vector<std::string> DroppedFiles(IDataObject* data);

private:
    TDropHandler FOnDrop;
    ULONG FRefCount = 1;
    bool FAccept = false;
};

// A drop target registered on a window (RegisterDragDrop); Revoke before the
// window goes (also done by the destructor when still registered).
class TDropRegistration {
public:
    TDropRegistration(HWND window, TDropTarget::TDropHandler onDrop);
    ~TDropRegistration();
    TDropRegistration(const TDropRegistration&) = delete;
    TDropRegistration& operator=(const TDropRegistration&) = delete;
    void Revoke();

private:
    HWND FWindow;
    TDropTarget* FTarget;
};

// The owners of handles: UniqueOwner itself with traits that carry what the
// handle goes back through, and the GDI, DDE, COM and shell owners on the
// real APIs.
#include <gtest/gtest.h>

#include <windows.h>
#include <ddeml.h>
#include <objbase.h>

#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/common/win_handles.h"
#include "engine/controls/fonts.h"
#include "engine/controls/gdi.h"

namespace qv {
namespace {

static_assert(!std::is_copy_constructible_v<Font> && !std::is_copy_assignable_v<Font>);
static_assert(!std::is_copy_constructible_v<WindowDC> && !std::is_copy_constructible_v<SelectIn>);
static_assert(!std::is_copy_constructible_v<UniqueHsz> && !std::is_copy_constructible_v<ComInitialization>);
static_assert(!std::is_copy_constructible_v<ComPtr<IMalloc>> && !std::is_copy_assignable_v<ComPtr<IMalloc>>);
static_assert(std::is_nothrow_move_constructible_v<SelectIn> && std::is_nothrow_move_assignable_v<UniqueHsz>);
// Traits without data take no room.
static_assert(sizeof(Bitmap) == sizeof(HBITMAP) && sizeof(UniqueFindHandle) == sizeof(HANDLE));

// Records every close with the source its traits carry.
using CloseLog = std::vector<std::pair<int, int>>;
struct Recording {
    using Handle = int;
    int Source = 0;
    CloseLog* Log = nullptr;
    static Handle Empty() noexcept { return -1; }
    void Close(Handle h) const noexcept { Log->push_back({Source, h}); }
};
using Recorded = UniqueOwner<Recording>;

TEST(UniqueOwner, ClosesEachHandleOnceThroughTheTraitsItCameWith) {
    CloseLog log;
    {
        const Recorded none;
        Recorded zero(0, {1, &log});  // only the Empty value means "none"
        EXPECT_FALSE(none);
        EXPECT_TRUE(zero);
    }
    EXPECT_EQ(log, (CloseLog{{1, 0}}));

    log.clear();
    {
        Recorded a(10, {1, &log});
        Recorded b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 10);
        EXPECT_EQ(b.traits().Source, 1);

        Recorded c(20, {2, &log});
        c = std::move(b);  // 20 goes back through source 2, 10 stays with source 1
        EXPECT_EQ(log, (CloseLog{{2, 20}}));
        Recorded& same = c;
        c = std::move(same);  // moving into itself keeps the handle
        EXPECT_EQ(c.get(), 10);
        EXPECT_EQ(log.size(), 1u);

        c.reset(11);  // a new handle of the same source
        *c.put() = 12;
        EXPECT_EQ(c.release(), 12);
        EXPECT_FALSE(c);
    }
    EXPECT_EQ(log, (CloseLog{{2, 20}, {1, 10}, {1, 11}}));
}

TEST(GdiOwners, ObjectsAreDeletedAndSelectionsUndoneOnTheirOwnDc) {
    HBITMAP bitmapHandle = nullptr;
    HDC dcHandle = nullptr;
    {
        MemoryDC dc(nullptr);
        ASSERT_TRUE(dc);
        dcHandle = dc.get();
        EXPECT_EQ(GetObjectType(dcHandle), static_cast<DWORD>(OBJ_MEMDC));
        Bitmap bitmap(CreateCompatibleBitmap(dc.get(), 4, 4));
        bitmapHandle = bitmap.get();
        EXPECT_EQ(GetObjectType(bitmapHandle), static_cast<DWORD>(OBJ_BITMAP));

        const Font first = CreateUiFont({"Arial", -11, false, false});
        const Font second = CreateUiFont({"Arial", -20, true, false});
        const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_FONT);
        SelectIn moved = [&] {
            SelectIn outer(dc.get(), first.get());
            {
                const SelectIn inner(dc.get(), second.get());
                EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), second.get());
            }
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), first.get());
            return outer;
        }();
        // The selection left the scope it was made in and is still in force.
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), first.get());
        moved.reset();
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original);
        {
            const SelectIn nothing(dc.get(), nullptr);
            EXPECT_FALSE(nothing);
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original);
        }

        const COLORREF colour = GetTextColor(dc.get());
        const HGDIOBJ palette = GetCurrentObject(dc.get(), OBJ_PAL);
        LOGPALETTE lp{0x300, 1, {{10, 20, 30, 0}}};
        const Palette own(CreatePalette(&lp));
        {
            const SavedDC saved(dc.get());
            SetTextColor(dc.get(), colour ^ 0xFFFFFF);
            const PaletteIn selected(dc.get(), own.get());
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PAL), own.get());
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PAL), palette);
        EXPECT_EQ(GetTextColor(dc.get()), colour);
    }
    EXPECT_EQ(GetObjectType(bitmapHandle), 0u);
    EXPECT_EQ(GetObjectType(dcHandle), 0u);
}

HDDEDATA CALLBACK NoServer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

TEST(DdeOwners, StringsAndDataGoBackThroughTheirInstance) {
    UniqueDdeInstance instance;
    ASSERT_EQ(DdeInitializeW(instance.put(), NoServer, APPCMD_CLIENTONLY, 0), static_cast<UINT>(DMLERR_NO_ERROR));
    ASSERT_TRUE(instance);
    const DWORD id = instance.get();
    wchar_t text[64] = {};

    HSZ freed = nullptr;
    {
        UniqueHsz name = MakeDdeString(id, L"QvOwnersTestString");
        ASSERT_TRUE(name);
        const UniqueHsz moved = std::move(name);
        freed = moved.get();
        EXPECT_GT(DdeQueryStringW(id, freed, text, 64, CP_WINUNICODE), 0u);
        EXPECT_STREQ(text, L"QvOwnersTestString");
    }
    EXPECT_EQ(DdeQueryStringW(id, freed, text, 64, CP_WINUNICODE), 0u);
    EXPECT_FALSE(MakeDdeString(0, L"no instance"));

    char bytes[] = "[ShowGroup(1)]";
    UniqueDdeData data(DdeCreateDataHandle(id, reinterpret_cast<LPBYTE>(bytes), sizeof bytes, 0, nullptr, CF_TEXT, 0));
    ASSERT_TRUE(data);
    char back[sizeof bytes] = {};
    EXPECT_EQ(DdeGetData(data.get(), reinterpret_cast<LPBYTE>(back), sizeof back, 0), sizeof bytes);
    EXPECT_STREQ(back, bytes);
    data.reset();

    // Once the instance has ended it makes no more strings.
    instance.reset();
    EXPECT_EQ(DdeCreateStringHandleW(id, L"after the end", CP_WINUNICODE), nullptr);
}

// What a thread of its own found out about COM, checked by the test's thread.
struct ComFindings {
    bool outer = false, nested = false, refusedMta = false;
    HRESULT mtaAfterBalancedScopes = E_FAIL;
    HRESULT mtaAfterRefusedScope = S_OK;
};

DWORD WINAPI ExploreCom(LPVOID parameter) {
    auto& f = *static_cast<ComFindings*>(parameter);
    {
        const ComInitialization outer = InitializeCom();
        const ComInitialization nested = InitializeCom();  // S_FALSE, balanced all the same
        f.outer = outer.valid();
        f.nested = nested.valid();
    }
    // Both scopes were balanced: the thread is free to choose another model.
    f.mtaAfterBalancedScopes = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(f.mtaAfterBalancedScopes)) CoUninitialize();

    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        {
            const ComInitialization mta = InitializeCom(COINIT_MULTITHREADED);
            f.refusedMta = !mta;
        }
        // The refused scope must not have ended the apartment it found.
        f.mtaAfterRefusedScope = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(f.mtaAfterRefusedScope)) CoUninitialize();
        CoUninitialize();
    }
    return 0;
}

TEST(ComOwners, OnlyASuccessfulInitialisationIsBalanced) {
    ComFindings findings;
    const UniqueHandle thread(CreateThread(nullptr, 0, ExploreCom, &findings, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(findings.outer);
    EXPECT_TRUE(findings.nested);
    EXPECT_EQ(findings.mtaAfterBalancedScopes, S_OK);
    EXPECT_TRUE(findings.refusedMta);
    EXPECT_EQ(findings.mtaAfterRefusedScope, RPC_E_CHANGED_MODE);
}

// The task allocator, counting what is freed through it.
class CountingMalloc : public IMalloc {
public:
    int frees = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return CoTaskMemAlloc(size); }
    void* STDMETHODCALLTYPE Realloc(void* p, SIZE_T size) override { return CoTaskMemRealloc(p, size); }
    void STDMETHODCALLTYPE Free(void* p) override {
        ++frees;
        CoTaskMemFree(p);
    }
    SIZE_T STDMETHODCALLTYPE GetSize(void*) override { return static_cast<SIZE_T>(-1); }
    int STDMETHODCALLTYPE DidAlloc(void*) override { return -1; }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

LPITEMIDLIST EmptyItemList(IMalloc& allocator) {
    void* list = allocator.Alloc(sizeof(USHORT));
    std::memset(list, 0, sizeof(USHORT));
    return static_cast<LPITEMIDLIST>(list);
}

TEST(ShellOwners, AnItemListIsFreedThroughTheAllocatorItCameWith) {
    CountingMalloc allocator;
    {
        UniqueItemList list(EmptyItemList(allocator), handle_traits::ShellItemList{&allocator});
        const UniqueItemList moved = std::move(list);
        EXPECT_EQ(allocator.frees, 0);
    }
    EXPECT_EQ(allocator.frees, 1);
    // Without an allocator the task allocator frees it, not the one at hand.
    { const UniqueItemList list(EmptyItemList(allocator)); }
    EXPECT_EQ(allocator.frees, 1);
}

}  // namespace
}  // namespace qv

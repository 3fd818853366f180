#include "tests/com/com_test_support.h"

#include <objbase.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <atomic>

namespace melvane::testing {
namespace {

class AllocatorSpy final : public IMallocSpy {
  public:
    std::atomic<long> live{0};
    std::atomic<long> failIn{-1};
    std::atomic<bool> failed{false};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
            *object = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the program.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override {
        long expected = failIn.load();
        while (expected >= 0 && !failIn.compare_exchange_weak(expected, expected - 1)) {
        }
        if (expected == 0) {
            failed = true;
            return 0;  // makes the allocation fail
        }
        return size;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override {
        if (block != nullptr) {
            ++live;
        }
        return block;
    }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL spied) override {
        if (block != nullptr && spied) {
            --live;
        }
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** newBlock, BOOL) override {
        *newBlock = block;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
    void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

AllocatorSpy spy;

class ComEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        // Freed BSTRs must really be freed for the live count to mean anything.
        HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
        if (oleaut == nullptr) {
            oleaut = LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        }
        const auto noCache = reinterpret_cast<void(WINAPI*)()>(
            reinterpret_cast<void (*)()>(GetProcAddress(oleaut, "SetOaNoCache")));
        ASSERT_NE(noCache, nullptr);
        noCache();
        ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    }
    void TearDown() override {
        CoRevokeMallocSpy();
        CoUninitialize();
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

}  // namespace

long CheckedAllocator::Live() {
    return spy.live;
}

void CheckedAllocator::FailAllocation(long index) {
    spy.failed = false;
    spy.failIn = index;
}

bool CheckedAllocator::Failed() {
    return spy.failed;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

}  // namespace melvane::testing

// Owners for COM resources: interface pointers, BSTRs, VARIANTs and the task allocator's blocks.
// Every exit path of the layer goes through these, so failures cannot leak a reference.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string_view>
#include <utility>

namespace melvane {

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(T* pointer) noexcept : pointer_(pointer) {}
    ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
        if (pointer_ != nullptr) {
            pointer_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Adds a reference of its own.
    static ComPtr Share(T* pointer) noexcept {
        if (pointer != nullptr) {
            pointer->AddRef();
        }
        return ComPtr(pointer);
    }

    void Reset() noexcept {
        if (T* old = std::exchange(pointer_, nullptr)) {
            old->Release();
        }
    }
    T* Get() const noexcept { return pointer_; }
    T* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    // For out parameters: releases what is held and hands out the slot.
    T** Put() noexcept {
        Reset();
        return &pointer_;
    }
    T* Detach() noexcept { return std::exchange(pointer_, nullptr); }

  private:
    T* pointer_ = nullptr;
};

class ScopedBstr {
  public:
    ScopedBstr() = default;
    explicit ScopedBstr(BSTR text) noexcept : text_(text) {}
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
    ~ScopedBstr() { SysFreeString(text_); }

    BSTR Get() const noexcept { return text_; }
    BSTR Detach() noexcept { return std::exchange(text_, nullptr); }
    // A null BSTR is the empty string by convention.
    std::wstring_view View() const noexcept { return {text_ ? text_ : L"", SysStringLen(text_)}; }

  private:
    BSTR text_ = nullptr;
};

class ScopedVariant {
  public:
    ScopedVariant() noexcept { VariantInit(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ~ScopedVariant() { VariantClear(&value_); }

    VARIANT* Get() noexcept { return &value_; }
    const VARIANT* Get() const noexcept { return &value_; }
    VARIANT* operator->() noexcept { return &value_; }
    // Moves the value out bit for bit; this one is left empty.
    VARIANT Detach() noexcept {
        VARIANT out = value_;
        VariantInit(&value_);
        return out;
    }

  private:
    VARIANT value_;
};

// Allocates a BSTR holding exactly the text, embedded NULs included; null when memory runs out.
inline BSTR AllocBstr(std::wstring_view text) noexcept {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace melvane

// Builds a dispatch table row from a pointer to an interface method: the
// parameter types come from the method's own signature, so the table cannot
// disagree with the method table it calls through.
//
// Automation parameter types and how a VARIANT carries them:
//   in:  LONG (VT_I4), ULONG (VT_UI4), LONGLONG (VT_I8), VARIANT_BOOL (VT_BOOL),
//        BSTR (VT_BSTR), VARIANT (as it is), SAFEARRAY* (VT_ARRAY | VT_UI1);
//   out: a pointer to any of those.
// A method with any other parameter type (a byte pointer, a narrow string, a
// Lua state) gets no thunk: it is reachable early-bound only.
#pragma once

#include <tuple>
#include <utility>

#include "object/dispatch.h"

namespace zk::binding {

template <class T>
struct Arg {
    static constexpr bool automation = false;
    static constexpr DispatchParam param{VT_EMPTY, false};
};

// An in parameter: its value is read from the converted VARIANT.
template <class T, VARTYPE Vt, T VARIANT::*Field>
struct InArg {
    static constexpr bool automation = true;
    static constexpr DispatchParam param{Vt, false};
    using Slot = T;
    static Slot load(const VARIANT& v) { return v.*Field; }
    static T pass(Slot& slot) { return slot; }
    static void store(Slot&, VARIANT&) {}
};

// An out parameter: the method writes into a local slot, which is then
// handed back as a VARIANT of type Vt.
template <class T, VARTYPE Vt, T VARIANT::*Field>
struct OutArg {
    static constexpr bool automation = true;
    static constexpr DispatchParam param{Vt, true};
    using Slot = T;
    static Slot load(const VARIANT&) { return T{}; }
    static T* pass(Slot& slot) { return &slot; }
    static void store(Slot& slot, VARIANT& v) {
        v.vt = Vt;
        v.*Field = slot;
    }
};

template <> struct Arg<LONG> : InArg<LONG, VT_I4, &VARIANT::lVal> {};
template <> struct Arg<ULONG> : InArg<ULONG, VT_UI4, &VARIANT::ulVal> {};
template <> struct Arg<LONGLONG> : InArg<LONGLONG, VT_I8, &VARIANT::llVal> {};
template <> struct Arg<VARIANT_BOOL> : InArg<VARIANT_BOOL, VT_BOOL, &VARIANT::boolVal> {};
template <> struct Arg<BSTR> : InArg<BSTR, VT_BSTR, &VARIANT::bstrVal> {};
template <> struct Arg<SAFEARRAY*> : InArg<SAFEARRAY*, VT_ARRAY | VT_UI1, &VARIANT::parray> {};
template <> struct Arg<LONG*> : OutArg<LONG, VT_I4, &VARIANT::lVal> {};
template <> struct Arg<ULONG*> : OutArg<ULONG, VT_UI4, &VARIANT::ulVal> {};
template <> struct Arg<LONGLONG*> : OutArg<LONGLONG, VT_I8, &VARIANT::llVal> {};
template <> struct Arg<VARIANT_BOOL*> : OutArg<VARIANT_BOOL, VT_BOOL, &VARIANT::boolVal> {};
template <> struct Arg<BSTR*> : OutArg<BSTR, VT_BSTR, &VARIANT::bstrVal> {};
template <> struct Arg<SAFEARRAY**> : OutArg<SAFEARRAY*, VT_ARRAY | VT_UI1, &VARIANT::parray> {};

template <>
struct Arg<VARIANT> {
    static constexpr bool automation = true;
    static constexpr DispatchParam param{VT_VARIANT, false};
    using Slot = VARIANT;
    static Slot load(const VARIANT& v) { return v; }
    static VARIANT pass(Slot& slot) { return slot; }
    static void store(Slot&, VARIANT&) {}
};

template <>
struct Arg<VARIANT*> {
    static constexpr bool automation = true;
    static constexpr DispatchParam param{VT_VARIANT, true};
    using Slot = VARIANT;
    static Slot load(const VARIANT&) {
        VARIANT empty;
        empty.vt = VT_EMPTY;
        return empty;
    }
    static VARIANT* pass(Slot& slot) { return &slot; }
    static void store(Slot& slot, VARIANT& v) { v = slot; }
};

template <auto Method, class Signature = decltype(Method)>
struct Binding;

template <auto Method, class Iface, class... A>
struct Binding<Method, HRESULT (Iface::*)(A...)> {
    static_assert(sizeof...(A) <= kMaxDispatchParams);
    static constexpr bool automation = (Arg<A>::automation && ...);

    static HRESULT call(void* self, VARIANT* args) { return callWith(static_cast<Iface*>(self), args, std::index_sequence_for<A...>{}); }

    template <size_t... I>
    static HRESULT callWith(Iface* self, VARIANT* args, std::index_sequence<I...>) {
        std::tuple<typename Arg<A>::Slot...> slots{Arg<A>::load(args[I])...};
        HRESULT hr = (self->*Method)(Arg<A>::pass(std::get<I>(slots))...);
        (Arg<A>::store(std::get<I>(slots), args[I]), ...);
        return hr;
    }
};

}  // namespace zk::binding

namespace zk {

// A table row for Method under name, id and invoke kind.
template <auto Method>
constexpr DispatchEntry Bind(const char* name, DISPID id, WORD kind) {
    return []<class Iface, class... A>(HRESULT (Iface::*)(A...), const char* n, DISPID i, WORD k) {
        using B = binding::Binding<Method>;
        DispatchEntry entry{n, i, k, static_cast<uint8_t>(sizeof...(A)), {binding::Arg<A>::param...}, nullptr};
        if constexpr (B::automation) entry.thunk = &B::call;
        return entry;
    }(Method, name, id, kind);
}

}  // namespace zk

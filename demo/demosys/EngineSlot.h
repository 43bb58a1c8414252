#pragma once

#include <cstddef>
#include <memory>
#include <utility>

// One piece of the engine state: owns at most one object and reads like the pointer it
// stands for (->, *, comparisons, conversion to T*). Assigning an object hands it over
// and deletes the one held before; assigning null deletes it. `delete slot` does not
// compile: the slot deletes what it holds.
template <class T>
class EngineSlot {
public:
    constexpr EngineSlot() = default;
    EngineSlot(const EngineSlot&) = delete;
    EngineSlot& operator=(const EngineSlot&) = delete;

    EngineSlot& operator=(T* object)
    {
        reset(object);
        return *this;
    }
    EngineSlot& operator=(std::unique_ptr<T> object)
    {
        reset(object.release());
        return *this;
    }

    T* get() const { return held.get(); }
    T* operator->() const { return held.get(); }
    T& operator*() const { return *held; }
    operator T*() const { return held.get(); }
    // A second conversion to a pointer makes `delete slot` ambiguous, so it cannot
    // compile; it is never chosen otherwise.
    operator const volatile T*() const = delete;
    explicit operator bool() const { return held != nullptr; }

    // Reassigning the object already held keeps it.
    void reset(T* object = nullptr)
    {
        if (object != held.get())
            held.reset(object);
    }
    // Gives the object up without deleting it.
    T* release() { return held.release(); }
    // Holds object from now on and hands back what was held, so that a stand-in can
    // take the place for a while and the original return afterwards.
    std::unique_ptr<T> exchange(std::unique_ptr<T> object)
    {
        held.swap(object);
        return object;
    }

private:
    std::unique_ptr<T> held;
};

template <class T>
bool operator==(const EngineSlot<T>& slot, std::nullptr_t) { return !slot; }
template <class T>
bool operator==(std::nullptr_t, const EngineSlot<T>& slot) { return !slot; }
template <class T>
bool operator!=(const EngineSlot<T>& slot, std::nullptr_t) { return static_cast<bool>(slot); }
template <class T>
bool operator!=(std::nullptr_t, const EngineSlot<T>& slot) { return static_cast<bool>(slot); }
// U may be const: comparing with a pointer of any qualification needs no conversion.
template <class T, class U>
bool operator==(const EngineSlot<T>& slot, U* object) { return slot.get() == object; }
template <class T, class U>
bool operator==(U* object, const EngineSlot<T>& slot) { return slot.get() == object; }
template <class T, class U>
bool operator!=(const EngineSlot<T>& slot, U* object) { return slot.get() != object; }
template <class T, class U>
bool operator!=(U* object, const EngineSlot<T>& slot) { return slot.get() != object; }

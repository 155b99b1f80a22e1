// A value that one thread publishes and exactly one taker gets: the write end of the
// child's control pipe, which a stop request may want before it exists and a second request
// may want after it was used and closed. Taking empties the slot in the same atomic step,
// so no one ever writes to or closes a handle that someone else already closed.
#pragma once
#include <atomic>

namespace karvo {

template <typename T>
class SingleUseSlot {
public:
    static_assert(std::atomic<T>::is_always_lock_free);

    void publish(T value) { value_.store(value); }
    // The value, or T{} when nothing was published or it was already taken.
    T take() { return value_.exchange(T{}); }

private:
    std::atomic<T> value_{T{}};
};

}  // namespace karvo

#pragma once
// An ordered set of request options, at most one of each option type (an
// option type is any copyable class; see HttpOptions.h). Setting an option
// whose type is present replaces it in place, otherwise it is appended.
// Asking for an absent option gives a default-constructed value, which for
// the HTTP options is the client's default. Not thread-safe; copies are
// deep.

#include <memory>
#include <typeinfo>

namespace urdl {

class option_set {
public:
    option_set() = default;
    option_set(const option_set& other);
    option_set& operator=(const option_set& other);
    option_set(option_set&&) noexcept = default;
    option_set& operator=(option_set&&) noexcept = default;
    ~option_set() = default;

    template <class T>
    void set_option(const T& value) {
        set_option_wrapper_base(std::unique_ptr<option_wrapper_base>(new option_wrapper<T>(value)));
    }

    template <class T>
    T get_option() const {
        const option_wrapper_base* node = get_option_wrapper_base(typeid(option_wrapper<T>));
        return node ? static_cast<const option_wrapper<T>*>(node)->value : T();
    }

    template <class T>
    void clear_option() {
        clear_option_wrapper_base(typeid(option_wrapper<T>));
    }

    // Sets a copy of every option of other, in its order.
    void set_options(const option_set& other);

private:
    // One node of a singly linked list; each node owns its successor.
    struct option_wrapper_base {
        virtual ~option_wrapper_base() = default;
        virtual const std::type_info& type_info() const = 0;
        // A copy of the value without a successor.
        virtual std::unique_ptr<option_wrapper_base> clone() const = 0;
        std::unique_ptr<option_wrapper_base> next;
    };

    template <class T>
    struct option_wrapper : option_wrapper_base {
        explicit option_wrapper(const T& v) : value(v) {}
        const std::type_info& type_info() const override { return typeid(option_wrapper<T>); }
        std::unique_ptr<option_wrapper_base> clone() const override {
            return std::unique_ptr<option_wrapper_base>(new option_wrapper<T>(value));
        }
        T value;
    };

    void set_option_wrapper_base(std::unique_ptr<option_wrapper_base> node);
    const option_wrapper_base* get_option_wrapper_base(const std::type_info& type) const;
    void clear_option_wrapper_base(const std::type_info& type);

    std::unique_ptr<option_wrapper_base> head_;
};

} // namespace urdl

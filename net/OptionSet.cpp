#include "net/OptionSet.h"

namespace urdl {

option_set::option_set(const option_set& other) { set_options(other); }

option_set& option_set::operator=(const option_set& other) {
    if (this != &other) {
        option_set copy(other);
        head_ = std::move(copy.head_);
    }
    return *this;
}

void option_set::set_options(const option_set& other) {
    for (const option_wrapper_base* node = other.head_.get(); node; node = node->next.get())
        set_option_wrapper_base(node->clone());
}

void option_set::set_option_wrapper_base(std::unique_ptr<option_wrapper_base> node) {
    std::unique_ptr<option_wrapper_base>* link = &head_;
    while (*link) {
        if ((*link)->type_info() == node->type_info()) {
            node->next = std::move((*link)->next);
            *link = std::move(node); // destroys the replaced node alone
            return;
        }
        link = &(*link)->next;
    }
    *link = std::move(node);
}

const option_set::option_wrapper_base*
option_set::get_option_wrapper_base(const std::type_info& type) const {
    for (const option_wrapper_base* node = head_.get(); node; node = node->next.get())
        if (node->type_info() == type)
            return node;
    return nullptr;
}

void option_set::clear_option_wrapper_base(const std::type_info& type) {
    std::unique_ptr<option_wrapper_base>* link = &head_;
    while (*link) {
        if ((*link)->type_info() == type) {
            std::unique_ptr<option_wrapper_base> removed = std::move(*link);
            *link = std::move(removed->next);
            return;
        }
        link = &(*link)->next;
    }
}

} // namespace urdl

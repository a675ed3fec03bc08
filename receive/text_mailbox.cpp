#include "receive/text_mailbox.h"

#include <utility>

bool TextMailbox::Put(std::string text) {
    std::lock_guard<std::mutex> hold(lock_);
    const bool wasEmpty = !slot_.has_value();
    slot_ = std::move(text);
    return wasEmpty;
}

std::optional<std::string> TextMailbox::Take() {
    std::lock_guard<std::mutex> hold(lock_);
    std::optional<std::string> text = std::move(slot_);
    slot_.reset();
    return text;
}

#include "receive/server_address.h"

#include <utility>

void ServerAddress::Set(std::string value) {
    std::lock_guard<std::mutex> hold(lock_);
    value_ = std::move(value);
}

std::string ServerAddress::Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    return value_;
}

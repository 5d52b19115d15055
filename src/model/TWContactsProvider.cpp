#include "model/TWContactsProvider.h"

namespace {
std::shared_ptr<TWContactsProvider> &sharedSlot()
{
    static std::shared_ptr<TWContactsProvider> provider =
        std::make_shared<TWEmptyContactsProvider>();
    return provider;
}
} // namespace

TWContactsProvider &TWContactsProvider::shared()
{
    return *sharedSlot();
}

void TWContactsProvider::setShared(std::shared_ptr<TWContactsProvider> provider)
{
    sharedSlot() = provider ? std::move(provider) : std::make_shared<TWEmptyContactsProvider>();
}

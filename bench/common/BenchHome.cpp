// Every benchmark runs with a home of its own, as the tests do: settings,
// styles and caches an application object writes never reach the user's.
// Made before main(), so before any application object exists.
#include "TestHome.h"

namespace {
const std::unique_ptr<QTemporaryDir> benchHome = useTemporaryHome();
} // namespace

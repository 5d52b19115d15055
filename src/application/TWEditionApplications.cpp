#include "application/TWCApplication.h"
#include "application/TWDApplication.h"

TWCApplication::TWCApplication(int &argc, char **argv, ApplicationServices services)
    : TWApplication(argc, argv, std::move(services), EditionTraits::compact())
{}

TWDApplication::TWDApplication(int &argc, char **argv, ApplicationServices services)
    : TWApplication(argc, argv, std::move(services), EditionTraits::deluxe())
{}

std::unique_ptr<TWApplication> TWApplication::create(Edition edition, int &argc, char **argv,
                                                     ApplicationServices services)
{
    if (edition == Edition::Compact)
        return std::make_unique<TWCApplication>(argc, argv, std::move(services));
    return std::make_unique<TWDApplication>(argc, argv, std::move(services));
}

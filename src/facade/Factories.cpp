#include "Factories.h"

namespace mrv {

namespace {

QHash<QString, Factories::Factory> &factories()
{
    static QHash<QString, Factories::Factory> map;
    return map;
}

} // namespace

void Factories::add(const QString &name, Factory factory)
{
    factories().insert(name, std::move(factory));
}

void Factories::removeFactory(const QString &name)
{
    factories().remove(name);
}

bool Factories::has(const QString &name)
{
    return factories().contains(name);
}

std::unique_ptr<ComponentObject> Factories::make(const QString &name)
{
    const auto found = factories().constFind(name);
    if (found == factories().constEnd())
        throw Failure(QStringLiteral("The window %1 is not available").arg(name));
    std::unique_ptr<ComponentObject> object = (*found)();
    if (!object)
        throw Failure(QStringLiteral("The window %1 could not be created").arg(name));
    return object;
}

} // namespace mrv

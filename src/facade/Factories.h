#pragma once

#include "ComponentWindow.h"
#include "host/Failure.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace mrv {

// Factories of the component's windows and helper classes by name
// ("frmSYS_MSG", "frm_mrvAddressBook", "mrvTemplate"). Each window
// registers its own when its library is loaded; asking for a name nobody
// registered is a Failure ("window not available"), never an empty window.
class Factories
{
public:
    using Factory = std::function<std::unique_ptr<ComponentObject>()>;

    static void add(const QString &name, Factory factory);
    static void removeFactory(const QString &name);
    static bool has(const QString &name);

    template <typename T> static std::unique_ptr<T> create(const QString &name)
    {
        std::unique_ptr<ComponentObject> object = make(name);
        T *typed = dynamic_cast<T *>(object.get());
        if (!typed)
            throw Failure(QStringLiteral("The factory of %1 made an object of the wrong kind").arg(name));
        object.release();
        return std::unique_ptr<T>(typed);
    }

private:
    static std::unique_ptr<ComponentObject> make(const QString &name);
};

} // namespace mrv

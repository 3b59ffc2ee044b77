#include "Routines.h"

namespace mrv::suite::db {

namespace {

// Per-company routines are called with the company code and "_" in front of
// the name ("A01_XFN_IND_ALL_CNT"); the catalog holds one definition for all
// companies, so a name not found as given is looked up again without its
// first segment.
template <typename Routine> const Routine *findRoutine(const QHash<QString, Routine> &routines, const QString &name)
{
    const QString key = name.toUpper();
    if (const auto found = routines.constFind(key); found != routines.cend())
        return &found.value();
    const qsizetype separator = key.indexOf(u'_');
    if (separator <= 0)
        return nullptr;
    const auto found = routines.constFind(key.mid(separator + 1));
    return found != routines.cend() ? &found.value() : nullptr;
}

} // namespace

// Parameters may be declared with or without their "@".
qsizetype FunctionDef::parameterIndex(QStringView token) const
{
    if (!token.startsWith(u'@'))
        return -1;
    for (qsizetype index = 0; index < parameters.size(); ++index) {
        QStringView parameter = parameters.at(index).name;
        if (parameter.startsWith(u'@'))
            parameter = parameter.mid(1);
        if (token.mid(1).compare(parameter, Qt::CaseInsensitive) == 0)
            return index;
    }
    return -1;
}

void RoutineCatalog::addFunction(FunctionDef function)
{
    const QString key = function.name.toUpper();
    m_functions.insert(key, std::move(function));
}

void RoutineCatalog::addProcedure(const QString &name, ProcedureBody body)
{
    m_procedures.insert(name.toUpper(), std::move(body));
}

const FunctionDef *RoutineCatalog::function(const QString &name) const
{
    return findRoutine(m_functions, name);
}

const ProcedureBody *RoutineCatalog::procedure(const QString &name) const
{
    return findRoutine(m_procedures, name);
}

} // namespace mrv::suite::db

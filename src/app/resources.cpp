#include "resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initCompiledResources()
{
    Q_INIT_RESOURCE(orrindel_ui);
    Q_INIT_RESOURCE(orrindel_translations);
    Q_INIT_RESOURCE(orrindel_fonts);
    Q_INIT_RESOURCE(orrindel_manual);
}

void initResources()
{
    // Registering twice would only duplicate the tree entries; once is enough.
    static const bool registered = (initCompiledResources(), true);
    Q_UNUSED(registered)
}

#include "widgets/uiresources.h"

#include <QtGlobal>

static void registerResources()
{
    Q_INIT_RESOURCE(qel2_serv);
}

void InitUiResources()
{
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
}

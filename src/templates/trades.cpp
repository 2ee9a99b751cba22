#include "templates/templatedata.h"

const QList<LWContent> &LWTemplates::content()
{
    static const QList<LWContent> table = {};
    return table;
}

#include "support/Utils.h"

namespace Utils {

QString getDefaultBrowser()
{
    return QString();
}

} // namespace Utils

#include "app/main/product_commands.h"

ProductCommands &productCommands()
{
    static ProductCommands commands;
    return commands;
}

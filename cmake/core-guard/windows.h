/* The portable core is built with this folder first on its include path. */
#error "core code must stay portable: do not include <windows.h> here"

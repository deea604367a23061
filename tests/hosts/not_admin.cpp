// not_admin: plays a system tool that only administrators may run (net
// session, fltmc) as a standard user sees it: refused, with a nonzero exit
// code. The package's install test puts copies of it first on the PATH under
// those names.

#include <cstdio>

int main()
{
    std::fputs("System error 5 has occurred.\n\nAccess is denied.\n", stderr);
    return 2;
}

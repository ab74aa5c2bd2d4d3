#include "app/app_module.h"
#include "app/build_constants.h"
#include "platform/debug.h"

int main(int argc, char** argv) {
  HX_TRACE(1, "\n\nZCSysScan           : ###  ZCSysScan  ###\n");
  HX_TRACE(2, "\nZCSysScan           : %d command line args:", argc);
  for (int i = 0; i < argc; ++i)
    if (argv[i] != nullptr) HX_TRACE(2, "\nZCSysScan           :   Arg %d: \"%s\"", i, argv[i]);
  CAppModule app;
  return app.Run(argc, argv);
}

// ZEB-Conduit: prepares a ZEB flow meter for the medium it will measure.

#include "application/ZebConduit.h"

int main(int argc, char *argv[])
{
    ZebConduit application(argc, argv);
    setUpProcess(application);
    return application.start();
}

// nrbx, the sprite pattern viewer: everything happens in nrbx::app::run.

#include "app/application.h"
#include "platform/standard_descriptors.h"

int main(int argc, char** argv) {
    nrbx::platform::ensureStandardDescriptors();
    return nrbx::app::run(argc, argv);
}

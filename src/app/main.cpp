// nrbx, the sprite pattern viewer: everything happens in nrbx::app::run.

#include "app/application.h"

int main(int argc, char** argv) {
    return nrbx::app::run(argc, argv);
}

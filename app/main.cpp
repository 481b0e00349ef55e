#include "app/application.h"

int main(int argc, char** argv) {
    return q731::RunControlCentre(argc, argv);
}

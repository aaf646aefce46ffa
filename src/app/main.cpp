#include "app/CroplingApp.h"

int main(int argc, char** argv) { return cropling::CroplingApp::run(argc, argv); }

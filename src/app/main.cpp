#include "app/Application.h"

int main(int argc, char** argv) { return cropling::Application::run(argc, argv); }

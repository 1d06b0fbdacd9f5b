#include "basecontroller.h"

BaseController::BaseController(QObject *parent) : QObject(parent) {}

BaseController::~BaseController() = default;

#include "ui/inspector/inspectorsection.h"

InspectorSection::InspectorSection(LWEditor &editor, QWidget *parent) : QWidget(parent), editor_(editor) {}

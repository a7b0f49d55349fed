// The set-ups of the parts that show the simulation on the schematic: the
// seven-segment display, digital LED, traffic light, analog bar, meter, relay
// and the animated SPST, SPDT and DPST switches. Each builds ordinary device
// records for its electrical behaviour (zero-volt sensors measure currents,
// resistors tie sensing nodes to ground) and keeps links to them in a small
// record of its own list that the animation reads. Each works on
// CurrentSetupPart: 0, or 15055 after a message.
#pragma once

class CCTDoc;
struct SchematicObject;

int SetupSevenSegment(SchematicObject* part);
int SetupDigitalLed(SchematicObject* part);
int SetupTrafficLight(SchematicObject* part);
int SetupAnalogBar(SchematicObject* part);
int SetupMeter(SchematicObject* part);
int SetupRelay(SchematicObject* part);
// The LED's COLOR attribute "name,VF,IF" gives the diode its forward voltage and current.
int SetupAnalogLed(SchematicObject* part);
// The armature, and the speed output V(pin 3) = RPSPV x the armature voltage.
int SetupMotor(SchematicObject* part);
int SetupSpstSwitch();
int SetupSpdtSwitch();
int SetupDpstSwitch();
// The meter's display settings (SCALE and AUTOSCALE) into its record; the
// attribute dialog checks them the same way. 0 or 15055 after a message.
struct BarMeterRecord;
int SetupMeterDisplay(CCTDoc* document, SchematicObject* part, BarMeterRecord* record);

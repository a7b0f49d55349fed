// After a SPICE text is read: the Q, M and J parts that the reader made N-type
// take the polarity of the model they name.
#pragma once

class CCTDoc;

// Every part of the scope whose type is NPN, NPN4, NMOS or NJFET and whose
// MODEL names a P-type model of its family (in the scope, an enclosing one or
// a library) becomes the P-type component. 0, or the lookup's failure (15055
// after a message, 15002 when a definition cannot be made).
int ResolvePartPolarities(CCTDoc* document, int scope);

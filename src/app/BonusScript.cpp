// The bonus script, Base64-encoded (source: src/app/bonus.vorn).
//
// Regenerate after editing bonus.vorn; the literal is the standard Base64 of
// the file's exact bytes, cut into pieces only for readability:
//   python3 -c "import base64,sys; print(base64.b64encode(open('src/app/bonus.vorn','rb').read()).decode())"
#include "app/BonusScript.h"

namespace vorn {

std::string_view bonusScriptBase64() {
    return
    "JHdlcmhhdGRhc2dlbWFjaHQKJHByaW50JCgiVGhhbmsgeW91IGZvciB1c2luZyBWT1JOLCBtYWpv"
    "ciB2ZXJzaW9uIDMhIikKJHByaW50JCgiTWFraW5nIHRoaXMgbGl0dGxlIGxhbmd1YWdlIGhhcyBi"
    "ZWVuIGEgbG90IG9mIGZ1bi4iKQokcHJpbnQkKCJCZSB3YXJuZWQsIHRob3VnaDogVk9STiBpcyBz"
    "dGlsbCB1bmZpbmlzaGVkLiIpCiRwcmludCQoIkl0IGhhcyBubyBmYWlsdXJlIGNoZWNrcywgc28g"
    "YSBjYXJlbGVzcyBsaW5lIGNhbiBzdG9wIGl0IikKJHByaW50JCgib3IgZG8gc29tZXRoaW5nIHlv"
    "dSBkaWQgbm90IGV4cGVjdC4gUGxlYXNlIGJlIHBhdGllbnQgd2l0aCBpdC4iKQokcHJpbnQkKCJU"
    "aGUgbG9nbyBhYm92ZSBpcyBkcmF3biB3aXRoIG5vdGhpbmcgYnV0IHRlbiBwbGFpbiBjaGFyYWN0"
    "ZXJzLiIpCiRwcmludCQoIkFuZCB0aGF0IGlzIGFsbCB0aGVyZSBpcyB0byBzYXksIGV4Y2VwdCBm"
    "b3Igb25lIHRoaW5nOiIpCiRwcmludCQoIkdyZWV0aW5ncyBmcm9tIEtlbHZvcmFzdCEiKQokcHJp"
    "bnQkKCItLS0tLS0tLS0tLS0tLS0tLS0tLS0tLS0tLS0tLS0tLS0tLS0tLS0tIikKJHByaW50JCgi"
    "Q29udGFjdDoga2Vsdm9yYXN0QHZvcm4uaW52YWxpZCIpCiRwcmludCQoIlByZXNzIGVudGVyIHRv"
    "IGdvIGJhY2suICIgIm5haCIpCkFOU1dFUiA9ICRpbnB1dApjb21wYXJlIChBTlNXRVIgPT0gIm5v"
    "IHRoYW5rcyIpIHsKCSRwcmludCQoIk5vIHRoYW5rcz8gVGhlbiBzdGF5IGEgd2hpbGUgYW5kIHBs"
    "YXkgYSBsaXR0bGUgZ2FtZSB3aXRoIG1lLiIpCgkkcHJpbnQkKCJUaGluayBvZiBhIHdob2xlIG51"
    "bWJlciBmcm9tIDEgdG8gMTAwIGFuZCBrZWVwIGl0IHRvIHlvdXJzZWxmLiIpCgkkcHJpbnQkKCJJ"
    "IHdpbGwgdHJ5IHRvIGd1ZXNzIGl0LiBBZnRlciBlYWNoIGd1ZXNzLCB0ZWxsIG1lIGhvdyBJIGRp"
    "ZDoiKQoJJHByaW50JCgidHlwZSAxIGlmIG15IGd1ZXNzIGlzIHRvbyBsb3csIDIgaWYgaXQgaXMg"
    "dG9vIGhpZ2gsIDMgaWYgaXQgaXMgcmlnaHQuIikKCSRwcmludCQoIklmIEkgZmluZCB5b3VyIG51"
    "bWJlciBpbiBhdCBtb3N0IDcgdHJpZXMsIEkgd2luLiBPdGhlcndpc2UgeW91IHdpbi4iKQoJTE9X"
    "ID0gMQoJSElHSCA9IDEwMAoJVFJJRVMgPSAwCglQTEFZSU5HID0gMQoJdW50aWwgKFBMQVlJTkcp"
    "IHsKCQlUUklFUyArPSAxCgkJR1VFU1MgPSAoKExPVyArIEhJR0gpIC8gMikKCQkkcHJpbnQkKCgi"
    "VHJ5ICIgKyAkc3RyJChUUklFUykgKyAiOiBteSBndWVzcyBpcyAiICsgJHN0ciQoR1VFU1MpICsg"
    "Ii4iKSkKCQkkcHJpbnQkKCIxID0gdG9vIGxvdywgMiA9IHRvbyBoaWdoLCAzID0gY29ycmVjdDog"
    "IiAibmFoIikKCQlSRVBMWSA9ICRpbnB1dAoJCWNvbXBhcmUgKFJFUExZID09ICIyIikgewoJCQlI"
    "SUdIID0gR1VFU1MKCQl9CgkJY29tcGFyZSAoUkVQTFkgPT0gIjEiKSB7CgkJCUxPVyA9IChHVUVT"
    "UyArIDEpCgkJfQoJCWNvbXBhcmUgKChSRVBMWSA9PSAiMyIpIGFuZCAoVFJJRVMgPD0gNykpIHsK"
    "CQkJJHByaW50JCgoIkdvdCBpdCBpbiAiICsgJHN0ciQoVFJJRVMpICsgIiB0cmllcy4gSSB3aW4h"
    "IikpCgkJCVBMQVlJTkcgPSAwCgkJfQoJCWNvbXBhcmUgKFRSSUVTID4gNykgewoJCQkkcHJpbnQk"
    "KCJUaGF0IHRvb2sgbWUgbW9yZSB0aGFuIDcgdHJpZXMuIFlvdSB3aW4sIEkgbG9zZSEiKQoJCQlQ"
    "TEFZSU5HID0gMAoJCX0KCX0KfQo=";
}

}  // namespace vorn

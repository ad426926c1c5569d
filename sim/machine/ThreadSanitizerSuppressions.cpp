// Under ThreadSanitizer, the programs built on the device service run the
// card in real time, where two races of the layers below them show up on
// every stream. They are the driver's and the audio system's to remove;
// until then they are named here, one by one, so that these programs keep
// every other check (their own sockets, sessions and streams above all).
#if defined(__SANITIZE_THREAD__)

extern "C" const char* __tsan_default_suppressions() {
  return
      // WaveStream::GetPosition reads the stream's state outside any lock
      // while SetState writes it on the thread that starts the stream.
      "race:WaveStream::GetPosition\n"
      // The service tick announces a render block before it copies it out of
      // the cyclic buffer, which the audio system's engine then writes ahead into.
      "race:TakeRenderBlock\n";
}

#endif

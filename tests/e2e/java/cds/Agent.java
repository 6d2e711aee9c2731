/** A Java agent that does nothing: its presence alone keeps the JVM from making an archive. */
public class Agent {
    public static void premain(String options, java.lang.instrument.Instrumentation instrumentation) {
    }
}

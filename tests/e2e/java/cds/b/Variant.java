/** One of two builds of one application that differ in a constant alone: same size, other classes. */
public class Variant {
    public static void main(String[] args) {
        System.out.println("variant B");
    }
}
